// Undo and redo: every kind of change taken back and made again from the keyboard, the
// file byte for byte each time; refused over an outside edit; a failed undo changes
// nothing, history included.
#include "forms/mainwindow.h"
#include "testutil.h"

#include <QAction>
#include <QMenu>

#include <cerrno>

using tu::Click;
using tu::Find;

namespace {

// Line ends of three kinds and no final one: an undo must give back these very bytes,
// not the CR LF lines a rewrite writes.
const QByteArray kFile = "Rent|Sub|2026-06-01|950.00|1\nGym|Mem|2026-06-15|420|12\r"
                         "Water|Sub|2026-03-01|90.00|3\r\nTom & Co|SG|2026-06-05|12|6";

using Steps = QList<std::function<void(QWidget*)>>;

// The context menu a right click on the list opens, as its items read ("(off)" when
// disabled); the menu is then closed.
QStringList MenuOf(QWidget* window, const char* list, const char* menuName)
{
    auto* rows = Find<QListWidget>(window, list);
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                      rows->viewport()->mapTo(window, QPoint(20, 8)));
    auto* menu = Find<QMenu>(window, menuName);
    QStringList items;
    for (const QAction* action : menu->actions())
        items << action->text() + (action->isEnabled() ? "" : " (off)");
    menu->close();
    return items;
}

// Shortcuts reach only the active window.
void Activate(QWidget* window)
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// The due row that shows this name.
void SelectDue(QWidget* window, const QString& name)
{
    auto* rows = Find<QListWidget>(window, "lstDue");
    for (int i = 0; i < rows->count(); ++i) {
        if (rows->item(i)->text().endsWith(name))
            return tu::ClickRow(rows, i);
    }
    QFAIL(qPrintable("no due row for " + name));
}

// Fails every rename while `failing` is set: the last step of every rewrite.
struct FailingRename : kestrow::FileOps
{
    bool failing = false;
    int rename(const char* from, const char* to) override
    {
        if (!failing)
            return FileOps::rename(from, to);
        errno = EIO;
        return -1;
    }
};

} // namespace

class TestUndo : public QObject
{
    Q_OBJECT
    FailingRename ops; // outlives every case's data file, which writes through it
    std::unique_ptr<tu::Fixture> f;

    // Through the window, as the desktop delivers keys: only that way are shortcuts seen.
    void keys(QWidget* w, Qt::KeyboardModifiers modifiers, Qt::Key key = Qt::Key_Z)
    {
        QTest::keyClick(w->windowHandle(), key, modifiers);
    }

private slots:
    void init()
    {
        ops.failing = false;
        f = std::make_unique<tu::Fixture>();
    }
    void cleanup() { f.reset(); }

    void undoAndRedo_data()
    {
        QTest::addColumn<QString>("row");    // the due payment selected first, if any
        QTest::addColumn<QString>("button"); // pressed in the main window
        QTest::addColumn<Steps>("steps");    // for the windows it opens
        QTest::addColumn<QString>("label");
        const auto list = [](std::function<void(QWidget*)> inList) {
            return Steps{[inList](QWidget* w) {
                inList(w);
                Click(w, "cmdDone");
            }};
        };
        QTest::newRow("pay, amount kept")
            << "Rent"
            << "cmdPay" << Steps{[](QWidget* d) { Click(d, "cmdNoChange"); }} << "Undo Pay of Rent";
        QTest::newRow("pay, new amount") << "Tom & Co"
                                         << "cmdPay" << Steps{[](QWidget* d) {
                                                tu::Retype(d, "txtChange", "99.5");
                                                Click(d, "cmdChange");
                                            }}
                                         << "Undo Pay of Tom && Co";
        QTest::newRow("step") << "Gym"
                              << "cmdStep" << Steps{} << "Undo Step of Gym";
        QTest::newRow("delete one") << ""
                                    << "cmdEdit" << list([](QWidget* w) {
                                           tu::ClickRow(Find<QListWidget>(w, "lstDisplay"), 1);
                                           Click(w, "cmdDelete");
                                       })
                                    << "Undo Delete of Rent";
        QTest::newRow("delete three") << ""
                                      << "cmdEdit" << list([](QWidget* w) {
                                             auto* rows = Find<QListWidget>(w, "lstDisplay");
                                             tu::ClickRow(rows, 0);
                                             tu::ClickRow(rows, 2, Qt::ControlModifier);
                                             tu::ClickRow(rows, 3, Qt::ControlModifier);
                                             Click(w, "cmdDelete");
                                         })
                                      << "Undo Delete of 3 entries";
        QTest::newRow("edit") << ""
                              << "cmdEdit"
                              << Steps{[](QWidget* w) {
                                           tu::ClickRow(Find<QListWidget>(w, "lstDisplay"), 2);
                                           Click(w, "cmdEdit");
                                       },
                                       [](QWidget* form) {
                                           tu::Retype(form, "txtIn(0)", "Flat");
                                           Click(form, "cmdAccept");
                                       }}
                              << "Undo Edit of Flat";
        QTest::newRow("add") << ""
                             << "cmdEdit"
                             << Steps{
                                    [](QWidget* w) { Click(w, "cmdAdd"); },
                                    [](QWidget* form) {
                                        const char* typed[] = {"Bus", "Sub", "2026-7-1", "40", "1"};
                                        for (int i = 0; i < 5; ++i)
                                            tu::Retype(form, QStringLiteral("txtIn(%1)").arg(i),
                                                       typed[i]);
                                        Click(form, "cmdUseIt");
                                        Click(form, "cmdCancel");
                                    }}
                             << "Undo Add of Bus";
    }

    // After undo the file is byte-identical to before the change, after redo to after it.
    void undoAndRedo()
    {
        QFETCH(QString, row);
        QFETCH(QString, button);
        QFETCH(Steps, steps);
        QFETCH(QString, label);
        QVERIFY(f->open(kFile));
        MainWindow w(*f->app);
        w.show();
        Activate(&w);
        if (!row.isEmpty())
            SelectDue(&w, row);
        {
            tu::Answer answer(steps + Steps{[](QWidget* list) { Click(list, "cmdDone"); }});
            Click(&w, button);
        }
        Activate(&w);
        const QByteArray after = f->bytes();
        QVERIFY(after != kFile);
        QCOMPARE(MenuOf(&w, "lstDue", "mnuExport").mid(0, 2), (QStringList{label, "Redo (off)"}));

        keys(&w, Qt::ControlModifier);
        QCOMPARE(f->bytes(), kFile);
        keys(&w, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f->bytes(), after);
        keys(&w, Qt::ControlModifier);
        keys(&w, Qt::ControlModifier, Qt::Key_Y);
        QCOMPARE(f->bytes(), after);
        QCOMPARE(f->shown(), QStringList());
    }

    // In the entry list: its keys and its context menu, and a file emptied and filled
    // again, with the introduction screen in between as after any Delete of the last one.
    void entryListAndEmptyFile()
    {
        const QByteArray one = "Rent|Sub|2026-06-01|950.00|1\r\n";
        QVERIFY(f->open(one));
        MainWindow w(*f->app);
        w.show();
        QStringList menu;
        tu::Answer answer({[&](QWidget* list) {
                               tu::ClickRow(Find<QListWidget>(list, "lstDisplay"), 0);
                               Click(list, "cmdDelete");
                           },
                           [](QWidget* intro) { Click(intro, "cmdContinue"); },
                           [](QWidget* add) { Click(add, "cmdCancel"); },
                           [&](QWidget* list) {
                               // The introduction has closed: back in the list.
                               Activate(list);
                               QTest::keyClick(list->windowHandle(), Qt::Key_Z,
                                               Qt::ControlModifier);
                               menu << QString::number(f->bytes() == one);
                               menu << MenuOf(list, "lstDisplay", "mnuEntries");
                               Click(list, "cmdDone");
                           }});
        Click(&w, "cmdEdit");
        QCOMPARE(answer.seen, (QStringList{"frmEdit", "frmIntro", "frmAdd", "frmEdit"}));
        QCOMPARE(menu, (QStringList{"1", "Undo (off)", "Redo Delete of Rent", ""}));
        QCOMPARE(Find<QListWidget>(&w, "lstDue")->count(), 1);
    }

    // A failed rename leaves the file as it was and the undo there to try again; an edit
    // made in a text editor since makes undo refuse, naming the file, and change nothing.
    void failedThenRefused()
    {
        QVERIFY(f->write(kFile));
        f->app->setToday("2026-06-15", 6);
        f->app->useFileOps(ops);
        QVERIFY(f->app->openData(f->data, f->temp));
        MainWindow w(*f->app);
        w.show();
        Activate(&w);
        SelectDue(&w, "Gym");
        Click(&w, "cmdStep");
        const QByteArray stepped = f->bytes();
        QVERIFY(stepped != kFile);

        ops.failing = true;
        keys(&w, Qt::ControlModifier);
        QCOMPARE(f->bytes(), stepped);
        QCOMPARE(f->shown().size(), 1);
        QVERIFY(!f->scratch());

        ops.failing = false;
        const QByteArray edited = stepped + "Bus|Sub|2026-07-01|40|1\r\n";
        QVERIFY(f->write(edited));
        keys(&w, Qt::ControlModifier);
        QCOMPARE(f->bytes(), edited);
        const QStringList refused = f->shown();
        QCOMPARE(refused.size(), 1);
        QVERIFY2(
            refused[0].startsWith("Kestrow cannot undo Step of Gym: the data file " + f->dataPath),
            qPrintable(refused[0]));
    }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
