// Undo and redo (see tu::Run) of every kind of change, the file byte for byte each time;
// refused over an outside edit; a failed undo changes nothing.
#include "forms/mainwindow.h"
#include "testutil.h"

#include <cerrno>

namespace {

// Line ends of three kinds and no final one: an undo must give back these very bytes, not
// the CR LF lines a rewrite writes. Due in June: Water, Rent, Tom & Co, Gym.
const QByteArray kFile = "Rent|Sub|2026-06-01|950.00|1\nGym|Mem|2026-06-15|420|12\r"
                         "Water|Sub|2026-03-01|90.00|3\r\nTom & Co|SG|2026-06-05|12|6";

} // namespace

class TestUndo : public QObject
{
    Q_OBJECT
    tu::FaultyDisk ops; // outlives every case's data file, which writes through it
    std::unique_ptr<tu::Fixture> f;
    std::unique_ptr<MainWindow> w;

    QString run(const QString& script) // failed checks, one a line
    {
        return tu::Run(*f, script).join('\n');
    }

private slots:
    void init()
    {
        ops = tu::FaultyDisk();
        f = std::make_unique<tu::Fixture>();
        QVERIFY(f->write(kFile));
        f->app->setToday("2026-06-15", 6);
        f->app->useFileOps(ops);
        QVERIFY(f->app->openData(f->data, f->temp));
        (w = std::make_unique<MainWindow>(*f->app))->show();
    }
    void cleanup()
    {
        w.reset();
        f.reset();
    }

    void undoAndRedo_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("label"); // of the undo item in the context menu
        // Step and Delete are undone in the cases below.
        QTest::newRow("pay, new amount")
            << "row lstDue 2; click cmdPay; type txtChange 99.5; click cmdChange"
            << "Undo Pay of Tom && Co";
        QTest::newRow("edit") << "click cmdEdit; row lstDisplay 2; click cmdEdit;"
                                 "type txtIn(0) Flat; click cmdAccept; click cmdDone"
                              << "Undo Edit of Flat";
        QTest::newRow("add") << "click cmdEdit; click cmdAdd; enter Bus|Sub|2026-7-1|40|1;"
                                "click cmdCancel; click cmdDone"
                             << "Undo Add of Bus";
    }
    void undoAndRedo()
    {
        QFETCH(QString, change);
        QFETCH(QString, label);
        QCOMPARE(run(change), "");
        const QByteArray after = f->bytes();
        QVERIFY(after != kFile);
        QCOMPARE(run("menu lstDue; check mnuExport~" + label + "/Redo (off)/; key Esc; key Ctrl+Z"),
                 "");
        QCOMPARE(f->bytes(), kFile);
        QCOMPARE(run("key Ctrl+Shift+Z"), "");
        QCOMPARE(f->bytes(), after);
        QCOMPARE(run("key Ctrl+Z; key Ctrl+Y; check shown="), "");
        QCOMPARE(f->bytes(), after);
    }

    // Deleting every entry brings the introduction screen; Ctrl+Z there gives the file back.
    void emptiedFile()
    {
        QCOMPARE(
            run("click cmdEdit; row lstDisplay 0; key Ctrl+A; click cmdDelete;"
                "check front=frmIntro; key Ctrl+Z; check front=frmMain; check lstDue~Tom & Co"),
            "");
        QCOMPARE(f->bytes(), kFile);
    }

    // An unreadable file is named before Pay asks anything; a failed undo stays to try again;
    // undo over an editor's save is refused and forgets what it cannot apply.
    void failedThenRefused()
    {
        ops.openError = EACCES; // the data file, as after chmod 000
        ops.opening = "/Kestrow.txt";
        QCOMPARE(run("row lstDue 1; click cmdPay; check front=frmMain;"
                     "check shown~Kestrow.txt: it cannot be read: Permission denied."),
                 "");
        ops.openError = 0;
        QCOMPARE(run("row lstDue 3; click cmdStep"), "");
        const QByteArray stepped = f->bytes();
        ops.renameError = EIO; // the last step of every rewrite
        QCOMPARE(run("key Ctrl+Z; check shown~Input/output error; check scratch=no"), "");
        QCOMPARE(f->bytes(), stepped);
        ops.renameError = 0;
        QCOMPARE(run("save " + stepped +
                     "Bus|Sub|2026-07-01|40|1/; key Ctrl+Z;"
                     "check shown~Kestrow cannot undo Step of Gym: the data file " +
                     f->dataPath),
                 "");
        QCOMPARE(f->bytes(), stepped + "Bus|Sub|2026-07-01|40|1\r\n");
        QCOMPARE(run("menu lstDue; check mnuExport~Undo (off)/Redo (off)/; key Esc"), "");
    }

    // Redo is gone once a new change is made, and refused over an edit made outside.
    void redoRefused_data()
    {
        QTest::addColumn<QString>("between"); // the undo and the redo
        QTest::addColumn<QString>("told");
        QTest::newRow("a new change") << "row lstDue 1; click cmdStep"
                                      << "=";
        QTest::newRow("an outside edit") << "save Bus|Sub|2026-07-01|40|1/"
                                         << "~Kestrow cannot redo Step of Gym: the data file";
    }
    void redoRefused()
    {
        QFETCH(QString, between);
        QFETCH(QString, told);
        QCOMPARE(run("row lstDue 3; click cmdStep; key Ctrl+Z; " + between), "");
        const QByteArray before = f->bytes();
        QCOMPARE(run("key Ctrl+Shift+Z; check shown" + told), "");
        QCOMPARE(f->bytes(), before);
    }

    // The oldest changes are forgotten beyond 100 of them, or beyond 64 MiB of file
    // contents kept before and after them.
    void limits_data()
    {
        QTest::addColumn<int>("changes"); // each appends a line of `bytes` with its line end
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("last"); // bytes of the last line
        QTest::addColumn<int>("kept");
        QTest::newRow("100 changes") << 100 << 3 << 3 << 100;
        QTest::newRow("101 changes") << 101 << 3 << 3 << 100;
        // The first change keeps its line once, the second keeps it twice beside the new one.
        QTest::newRow("64 MiB") << 2 << (16 << 20) << (16 << 20) << 2;
        QTest::newRow("a byte more") << 2 << (16 << 20) << (16 << 20) + 1 << 1;
    }
    void limits()
    {
        QFETCH(int, changes);
        QFETCH(int, bytes);
        QFETCH(int, last);
        QFETCH(int, kept);
        tu::Folder g;
        kestrow::DataStore store(g.data, g.temp);
        UndoHistory history;
        QVERIFY(store.open());
        QByteArrayList lines;
        for (int i = 1; i <= changes; ++i) {
            const int size = i < changes ? bytes : last;
            lines << QByteArray(size - 2, char('a' + i % 26));
            QVERIFY(store.append(lines.back().toStdString()));
            history.record(store, "Add");
        }
        int undone = 0;
        for (; history.canUndo(); ++undone)
            QVERIFY(history.undo(store));
        QCOMPARE(undone, kept);
        QCOMPARE(tu::Lines(g.bytes()), lines.mid(0, changes - kept));
    }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
