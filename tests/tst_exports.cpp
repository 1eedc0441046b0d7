// The exports from the main window's context menu, opened as a user opens it and answered
// through the save dialog's hook: what it saves must be byte for byte what kestrow-report
// writes for the same data file, and a save that fails must say so and change no file.
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "mainwindow_testutil.h"
#include "platform/savefile.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>

using namespace mainwindowtest;

namespace {

// A horizon beyond 120 months, a name in UTF-8 and one full of separators, a payment on
// the 31st, and a line no computation can use.
const QByteArray kPayments = "Rent|Hou|2026-06-01|950.00|1\r\n"
                             "Caf\xc3\xa9 club|Mem|2026-08-31|60.00|6\r\n"
                             "Tom, Anna & Co; yearly \\ gifts|Gft|2026-12-31|1,300.00|12\r\n"
                             "Roof|Hom|2027-03-01|9,000.00|180\r\n"
                             "not a payment\r\n";

QByteArray Report(const QStringList& arguments)
{
    QProcess report;
    report.start(QStringLiteral(KESTROW_REPORT), arguments);
    if (!report.waitForFinished(60000) || report.exitCode() != 0)
        return "<kestrow-report failed>";
    return report.readAllStandardOutput();
}

} // namespace

class TestExports : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void contextMenu_data();
    void contextMenu();

private:
    Session session;
};

void TestExports::cleanup()
{
    platform::SaveDialogTestHook::uninstall();
    session.stop();
}

void TestExports::contextMenu_data()
{
    QTest::addColumn<QString>("openedBy");
    QTest::addColumn<int>("entry");         // 0 the calendar, 1 the month table
    QTest::addColumn<QString>("answer");    // the file named in the dialog, in the temp folder
    QTest::addColumn<QString>("sameAs");    // kestrow-report's option that writes the same file
    QTest::addColumn<QString>("complaint"); // how the message begins, when the save fails

    QTest::newRow("calendar, right click on the due list") << "list" << 0 << "Kestrow.ics"
                                                           << "--ics"
                                                           << "";
    QTest::newRow("month table, right click on the chart") << "chart" << 1 << "Kestrow.csv"
                                                           << "--csv"
                                                           << "";
    QTest::newRow("calendar, Menu key on the due list") << "key" << 0 << "Kestrow.ics"
                                                        << "--ics"
                                                        << "";
    QTest::newRow("dialog cancelled") << "list" << 0 << ""
                                      << ""
                                      << "";
    QTest::newRow("folder missing") << "chart" << 0 << "missing/Kestrow.ics"
                                    << ""
                                    << "Kestrow could not save the calendar as ";
    QTest::newRow("the data file named") << "list" << 1 << "Kestrow.txt"
                                         << ""
                                         << "Kestrow could not save the month table as ";
}

void TestExports::contextMenu()
{
    QFETCH(QString, openedBy);
    QFETCH(int, entry);
    QFETCH(QString, answer);
    QFETCH(QString, sameAs);
    QFETCH(QString, complaint);

    QVERIFY(session.start(kPayments));
    platform::SaveDialogTestHook::install();
    const QString folder = session.dir->path() + QLatin1Char('/');
    const QString target = answer.isEmpty() ? QString() : folder + answer;
    platform::SaveDialogTestHook::setAnswer(target);

    MainWindow w(teststate::State());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // A right click goes through the window, which turns it into a context menu request.
    if (openedBy == QLatin1String("list")) {
        QTest::mouseClick(w.windowHandle(), Qt::RightButton, {},
                          w.lstDue->viewport()->mapTo(&w, QPoint(20, 8)));
    } else if (openedBy == QLatin1String("chart")) {
        QTest::mouseClick(w.windowHandle(), Qt::RightButton, {},
                          w.picGraph->mapTo(&w, w.picGraph->rect().center()));
    } else {
        // What the desktop sends the focused control when the Menu key is pressed.
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(4, 4),
                                  w.lstDue->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(w.lstDue, &menuKey);
    }
    auto* menu = w.findChild<QMenu*>(QStringLiteral("mnuExport"));
    QVERIFY(menu != nullptr);
    QVERIFY(menu->isVisible());
    QAction* wanted = menu->findChild<QAction*>(entry == 0 ? QStringLiteral("mnuExportCalendar")
                                                           : QStringLiteral("mnuExportTable"));
    QVERIFY(wanted != nullptr);
    if (openedBy == QLatin1String("key")) {
        for (int i = 0; i < 8 && menu->activeAction() != wanted; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    } else {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(wanted).center());
    }
    QVERIFY(!menu->isVisible());
    QCOMPARE(platform::SaveDialogTestHook::takeDialogs(), 1);

    const QStringList shown = platform::MessageTestHook::takeShown();
    QCOMPARE(session.bytes(), kPayments);
    if (sameAs.isEmpty()) {
        QCOMPARE(shown.size(), complaint.isEmpty() ? 0 : 1);
        if (!complaint.isEmpty()) {
            QVERIFY2(shown.front().startsWith(complaint + QDir::toNativeSeparators(target) + ": "),
                     qPrintable(shown.front()));
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"Kestrow.txt"});
        return;
    }
    QCOMPARE(shown, QStringList());
    const QByteArray saved = ReadBytes(target.toStdString());
    QVERIFY(saved.size() > 200);
    QCOMPARE(saved,
             Report({sameAs, "--today", "2026-06-15", QString::fromStdString(session.dataFile)}));
}

QTEST_MAIN(TestExports)
#include "tst_exports.moc"
