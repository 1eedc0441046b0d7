// The main window and its entry list as a user drives them (see tu::Run), every change met
// by an outside edit or removal; the exports and the pot check.
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "testutil.h"

#include <QFileDialog>
#include <QScopeGuard>
#include <QTimer>

#include <cerrno>

namespace {

// The README's sample: today it needs 2,031.74.
const QByteArray kSample =
    "Car insurance|Sub|2026-03-01|1,234.50|12/Rent|Sub|2026-06-01|950.00|1/"
    "Streaming|Sub|2026-06-12|15.99|1/Gym|Mem|2026-01-15|420.00|12/"
    "Holiday|SG|2027-07-01|2,400.00|24/Water|Sub|2026-08-01|90.00|3/"
    "Property tax|Sub|2026-10-01|1,800.00|6/Caf\xc3\xa9 club|Mem|2026-06-20|60.00|6";

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;

private slots:
    // A screen reader that listens from the start finds the chart as a chart: the roles are
    // in place before the first window tells it anything. Checked before any other case, as
    // the roles are set up once in a program's life, by its first window.
    void initTestCase()
    {
        tu::Fixture first;
        QVERIFY(first.open(""));
        QAccessible::setActive(true);
        const auto quiet = qScopeGuard([] { QAccessible::setActive(false); });
        MainWindow w(*first.app);
        w.show();
        QCOMPARE(QAccessible::queryAccessibleInterface(w.picGraph)->role(), QAccessible::Chart);
    }

    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

    void scripts_data()
    {
        QTest::addColumn<QByteArray>("file"); // lines apart by "/"
        QTest::addColumn<QString>("script");
        const auto row = [](const QString& name, const QByteArray& file, const QString& script) {
            QTest::newRow(qPrintable(name)) << file << script;
        };
        // Due rows in text order without case, unusable lines left out, code page and UTF-8
        // shown, the amount column as wide as the widest, the type cut to five characters.
        row("figures",
            "A|B/Late|S|2026-06-20|1234.5|1/b|S|2026-06-01|5|1/Caf\xc3\xa9|S|2026-06-01|5|1/"
            "Cr\xe8me|S|2026-06-01|.25|1/X|Y|2026-01-01|abc|1/E|\xe2\x82\xac|2026-06-01|1000000|1/"
            "F|Insurance|2026-06-01|-2|1",
            "check lab1=1,001,242.75; check lab2=1,001,242.75; check lab3=1,001,242.75;"
            "check lab4=.00; check labE=Payments due in 2026-06; check labF=Graph: $.00 freed;"
            "check lstDue=5 2026-06-01          .25  S    Cr\u00e8me/"
            "3 2026-06-01         5.00  S    b/4 2026-06-01         5.00  S    Caf\u00e9/"
            "8 2026-06-01        -2.00  InsurF/"
            "7 2026-06-01 1,000,000.00  \u20ac    E/2 2026-06-20     1,234.50  S    Late");
        // Pay from a later month counts from today; Step, only this month, moves a payment on
        // a month without asking; Cancel changes nothing.
        row("pay ahead, step, cancel",
            "Water|Sub|2026-09-01|90.00|3/Paper|Sub|2026-06-01|50.00|1|x",
            "click cmdNext; click cmdNext; click cmdNext; row lstDue 1; check cmdStep=off;"
            "click cmdPay; click cmdNoChange; check lstDue~1 2026-09-15    90.00  Sub  Water;"
            "click cmdZero; row lstDue 0; click cmdStep; click cmdNext; row lstDue 0;"
            "click cmdNoPay; check cmdStep=off; check cmdNoPay=off;"
            "check file=Water|Sub|2026-09-15|90.00|3/Paper|Sub|2026-07-01|50.00|1|x/");
        // Every opening of the entries starts in the Name order.
        const char* orders[] = {
            "2 al  M  2026-01-10  1,200.00  12/1 B\u00e9b  Subs  2026-06-01  25  1",  // no case
            "2 M    al  2026-01-10  1,200.00  12/1 Sub  B\u00e9b  2026-06-01  25  1", // type cut
            "2 2026-01-10  al  M  1,200.00  12/1 2026-06-01  B\u00e9b  Subs  25  1",  // next date
            "1    25.00  B\u00e9b  Subs  2026-06-01  1/2 1,200.00  al  M  2026-01-10  12",
            "1    1  B\u00e9b  Subs  2026-06-01  25/2   12  al  M  2026-01-10  1,200.00",
            "1      1  B\u00e9b|Subs|2025-03-01|25|1/2      2  al|M|2026-01-10|1,200.00|12"};
        for (int order = 0; order < 6; ++order)
            row(QString("order %1").arg(order),
                "B\xe9"
                "b|Subs|2025-03-01|25|1/al|M|2026-01-10|1,200.00|12",
                QString(
                    "click cmdEdit; check Option1(0)=on*; click Option1(%1); check lstDisplay=%2;"
                    "click cmdDone; click cmdEdit; check Option1(0)=on*; click cmdDone")
                    .arg(order)
                    .arg(orders[order]));
        // Edit needs one selected entry, Delete one or more; Esc stands for Edit, Enter for New
        // entry. Deleting all brings the introduction back; an empty list is not printed.
        row("select, edit, delete",
            "Echo|S|d|5|1/delta|S|d|3|1/Charlie|S|2025-03-01|2|1/"
            "bravo|S|d|4|1/Al|S|d|1|1",
            "click cmdEdit; click Option1(3); row lstDisplay 0; row lstDisplay 2 shift;"
            "check cmdEdit=off; check cmdDelete=on; row lstDisplay 0 ctrl; row lstDisplay 2 ctrl;"
            "check cmdEdit=on; key Esc; check front=frmChange; check scratch=yes;"
            "type txtIn(0) Chuck; click cmdAccept; check cmdEdit=off; key Esc; key Return;"
            "check front=frmAdd; click cmdCancel; check lstDisplay~3     2.00  Chuck  S  "
            "2026-06-01  1/;"
            "row lstDisplay 2 ctrl; row lstDisplay 0 ctrl; row lstDisplay 1 ctrl; click cmdDelete;"
            "check file=Echo|S|d|5|1/bravo|S|d|4|1/;"
            "check lstDisplay=2     4.00  bravo  S  d  1/1     5.00  Echo  S  d  1;"
            "row lstDisplay 0; key Ctrl+A; click cmdDelete; check front=frmIntro;"
            "click cmdContinue; click cmdCancel; printer yes; click cmdPrint; check printed=;"
            "check file=; check lstDisplay=; check ending=no; check shown=; click cmdDone");
        row("print", "Paper|Sub|2026-03-01|50.00|1/Insurance|Sub|2026-06-01|1,200.00|12",
            "click cmdEdit; printer yes; click cmdPrint; click cmdDone; check printed="
            "Insurance  Sub  2026-06-01  1,200.00  12/Paper  Sub  2026-06-01  50.00  1");
        // Enter opens the entries; the window then shows the file as it is. Exit ends the program.
        const QString tea = "Paper|Sub|2026-03-01|50.00|1/Tea|Sub|2026-06-02|3.00|1/";
        row("entries, then Exit", "Paper|Sub|2026-03-01|50.00|1",
            "click cmdNext; row lstDue 0; key Return; check front=frmEdit; write " + tea +
                "; click cmdDone; check cmdPay=off; check labE=Payments due in 2026-07;"
                "check lab1=53.00; check lstDue~Tea; click cmdExit; check ending=yes; check file=" +
                tea);
        // A change over an editor's save is refused, the file shown again, the user told. The
        // other windows' changes meet the same check in the store.
        const QString before = "Gym|Mem|2026-06-01|30.00|1/Rent|Sub|2026-06-03|800.00|1/";
        const QString edited = QString(before).replace("30.00", "35.00");
        row("Step, saved by an editor", before.toUtf8(),
            "row lstDue 0; save " + edited + "; click cmdStep; check file=" + edited +
                "; check lstDue~35.00; check scratch=no;"
                "check shown~was changed outside Kestrow since Kestrow last read it.");
        // A change after the file was removed asks first: No writes nothing and starts again,
        // as with no data file (Yes is the add form's and undo's case).
        const QString removed = "; check shown~was removed outside Kestrow. Put back";
        row("Delete, file removed, not put back", before.toUtf8(),
            "click cmdEdit; row lstDisplay 0; delete file; click cmdDelete" + removed +
                "; check front=frmIntro; check file=; click cmdContinue; click cmdCancel;"
                "check scratch=no; check lstDisplay=; click cmdDone");
        // The keyboard walk: Step, Pay, Cancel and the way back are off at first; only the
        // chosen order of the entries takes the Tab. The pot is empty every March.
        row("keyboard walk", "Rent|Sub|2026-06-01|950.00|1/Car|Sub|2026-03-01|1,200.00|12/",
            "walk Payments due in 2026-06|Next Mon|Next Yr|Edit Entries|Exit;"
            "check picGraph=Over 120 months: .00 freed, largest total 1,100.00.;"
            "click cmdEdit; walk Entries|Name|New entry|Print|Done; click cmdDone");
        // The verdict follows each amount typed; the last one accepted is offered again from
        // every way in: the shortcut and the menus of the figures, the chart and the due list.
        row("check the pot", kSample,
            "key Ctrl+K; check front=frmPot; type txtHolds 2,100; check labVerdict~68.26 to spare.;"
            "type txtHolds 2000.; check labVerdict~31.74 short. Kept as it is, the pot runs short "
            "in 2028-04; type txtHolds -5; check labVerdict~Invalid amount; key Esc; menu lab2;"
            "pick mnuCheckPot; check txtHolds=2000.; key Return; menu picGraph; pick mnuCheckPot;"
            "type txtHolds 1000; click cmdClose; menu lstDue; pick mnuCheckPot;"
            "check labVerdict~Add 1,031.74 now.; click cmdClose; check shown=");
    }
    void scripts()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, script);
        QVERIFY(f->open(file.replace("/", "\r\n")));
        MainWindow w(*f->app);
        w.show();
        const QStringList failed = tu::Run(*f, script);
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join('\n')));
        // A screen reader finds each child where the window says it is, and none past the last.
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&w);
        for (int i = 0; i < face->childCount(); ++i)
            QCOMPARE(face->indexOfChild(face->child(i)), i);
        QCOMPARE(face->child(face->childCount()), nullptr);
    }

    // With no printer the list may be saved as a PDF file instead: the user is asked, the
    // save dialog names the file (empty when cancelled), and a failure is told.
    void pdfWithoutPrinter_data()
    {
        QTest::addColumn<QString>("name"); // in the case's folder
        QTest::addColumn<QString>("told"); // after the question
        const auto row = [](const char* name, const char* file, const char* told = "") {
            QTest::newRow(name) << QString(file) << QString(told);
        };
        row("saved", "list.pdf");
        row("cancelled", "");
        row("no such folder", "none/list.pdf",
            "Kestrow could not save the list as %1: No such file or directory");
    }
    void pdfWithoutPrinter()
    {
        QFETCH(QString, name);
        QFETCH(QString, told);
        QVERIFY(f->open("Paper|Sub|2026-03-01|50.00|1"));
        MainWindow w(*f->app);
        w.show();
        const QString file = name.isEmpty() ? QString() : f->dir.filePath(name);
        platform::SaveDialogTestHook::setAnswer(file);
        QCOMPARE(
            tu::Run(*f, "click cmdEdit; answer yes; click cmdPrint; click cmdDone; check printed="),
            QStringList());
        const QStringList shown = f->shown();
        QCOMPARE(shown.value(0), "No printer is available. Save the list as a PDF file instead?");
        QCOMPARE(shown.size(), told.isEmpty() ? 1 : 2);
        QVERIFY2(told.isEmpty() || shown.value(1).startsWith(told.arg(file)),
                 qPrintable(shown.value(1)));
        const bool written = !name.isEmpty() && told.isEmpty();
        QCOMPARE(tu::ReadFile(file).startsWith("%PDF-"), written);
    }

    // The entry list fills its place above the orders and buttons: each row of a short file
    // is seen whole.
    void entryListSeenWhole()
    {
        QVERIFY(f->open(QByteArray(kSample).replace("/", "\r\n")));
        EntryListDialog entries(*f->app);
        entries.show();
        QVERIFY(QTest::qWaitForWindowExposed(&entries));
        const QListWidget* list = entries.lstDisplay;
        QCOMPARE(list->count(), 8);
        for (int i = 0; i < list->count(); ++i) {
            const QListWidgetItem* item = list->item(i);
            QVERIFY2(list->viewport()->rect().contains(list->visualItemRect(item)),
                     qPrintable(item->text()));
        }
    }

    // Outside the tests the real save dialog asks, opened in the home folder when there is
    // no documents folder.
    void saveDialogAsks()
    {
        platform::SaveDialogTestHook::uninstall();
        const QByteArray home = qgetenv("HOME");
        const auto restoreHome = qScopeGuard([&home] { qputenv("HOME", home); });
        qputenv("HOME", f->dir.path().toUtf8());
        QString openedIn;
        QDeadlineTimer deadline(10000);
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, [&] {
            QWidget* front = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QFileDialog*>(front))
                openedIn = dialog->directory().absolutePath();
            // Cancelled once shown; anything else in front is closed at the deadline.
            if (front != nullptr && (!openedIn.isEmpty() || deadline.hasExpired()))
                front->close();
        });
        cancel.start(20);
        const QString chosen =
            platform::AskSaveFileName(nullptr, "Save the list", "list.pdf", "PDF files (*.pdf)");
        QCOMPARE(chosen, QString());
        QCOMPARE(openedIn, f->dir.path());
    }

    // Saved (through the dialog's hook) as kestrow-report writes them; never over the data file.
    // Saved again onto a full disk, each says why and leaves the file before it.
    void exports()
    {
        // Past 120 months, UTF-8 and separators in names, the 31st, a line no month can use.
        const QByteArray payments = "Rent|Hou|2026-06-01|950.00|1\r\n"
                                    "Caf\xc3\xa9 club|Mem|2026-08-31|60.00|6\r\n"
                                    "Tom, Anna & Co; yearly \\ gifts|Gft|2026-12-31|1,300.00|12\r\n"
                                    "Roof|Hom|2027-03-01|9,000.00|180\r\nnot a payment\r\n";
        QVERIFY(f->open(payments));
        MainWindow w(*f->app);
        w.show();
        tu::FaultyDisk fullDisk;
        fullDisk.writeError = ENOSPC;
        for (const char* way :
             {"lstDue mnuExportCalendar --ics", "picGraph mnuExportTable --csv"}) {
            const QStringList part = QString(way).split(' ');
            const QString target = f->dir.filePath("export" + part[2]);
            platform::SaveDialogTestHook::setAnswer(target);
            QCOMPARE(tu::Run(*f, "menu " + part[0] + "; pick " + part[1] + "; check shown="),
                     QStringList());
            QProcess report;
            report.start(KESTROW_REPORT, {part[2], "--today", "2026-06-15", f->dataPath});
            QVERIFY(report.waitForFinished(60000) && tu::ReadFile(target).size() > 200);
            const QByteArray exported = tu::ReadFile(target);
            QCOMPARE(exported, report.readAllStandardOutput());
            f->app->useFileOps(fullDisk);
            QCOMPARE(tu::Run(*f, "menu " + part[0] + "; pick " + part[1] +
                                     "; check shown~: No space left on device."),
                     QStringList());
            f->app->useFileOps(kestrow::FileOps::system());
            QCOMPARE(tu::ReadFile(target), exported);
        }
        // Refused over the data file; told when the folder is missing.
        for (const QString& target : {f->dataPath, f->dir.filePath("none/table.csv")}) {
            platform::SaveDialogTestHook::setAnswer(target);
            QCOMPARE(tu::Run(*f, "menu lstDue; pick mnuExportTable; check shown~Kestrow could "
                                 "not save the month table as " +
                                     target + ": "),
                     QStringList());
        }
        QVERIFY(f->bytes() == payments && platform::SaveDialogTestHook::takeDialogs() == 6);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
