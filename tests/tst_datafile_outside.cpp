// The data file changed outside Kestrow while it runs (an editor that saves by renaming a
// new file over the old one, a line inserted in place, a mere touch), met by every writer
// through its window: Step, Pay with its dialog open, Delete, the edit form's Accept and a
// new entry, and "Exit" on the introduction screen, which deletes the file. A change made
// over someone else's edit must be refused, the file read again and shown, and the user
// told; a file that was only touched must stop nothing.
#include "core/notices.h"
#include "forms/addrecorddialog.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "mainwindow_testutil.h"

#include <QLineEdit>
#include <QPushButton>

#include <fcntl.h>
#include <sys/stat.h>

using namespace mainwindowtest;

namespace {

const QByteArray kBefore = "Gym|Mem|2026-06-01|30.00|1\r\nRent|Sub|2026-06-03|800.00|1\r\n";
// Gym's amount changed by hand.
const QByteArray kEdited = "Gym|Mem|2026-06-01|35.00|1\r\nRent|Sub|2026-06-03|800.00|1\r\n";
// A payment inserted at the top: every record number has moved on by one.
const QByteArray kInserted = "Tax|Sub|2026-06-02|5.00|1\r\n" + kBefore;

enum How { Renamed, InPlace, Touched };
enum Writer { Step, PayDialogOpen, Delete, EditFormOpen, Add, IntroExit };

bool ChangeOutside(const std::string& path, How how, const QByteArray& contents)
{
    switch (how) {
    case Renamed: {
        const std::string fresh = path + ".new";
        return WriteBytes(fresh, contents) && ::rename(fresh.c_str(), path.c_str()) == 0;
    }
    case InPlace:
        return WriteBytes(path, contents); // truncated and written: the same file
    case Touched: {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
        return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
    }
    }
    return false;
}

template <class T> T* Child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QString::fromLatin1(name));
}

void Click(QWidget* window, const char* button)
{
    QTest::mouseClick(Child<QPushButton>(window, button), Qt::LeftButton);
}

} // namespace

class TestDataFileOutside : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { session_.stop(); }
    void writerMeetsAnOutsideChange_data();
    void writerMeetsAnOutsideChange();

private:
    Session session_;
};

void TestDataFileOutside::writerMeetsAnOutsideChange_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<int>("how");
    QTest::addColumn<QByteArray>("outside"); // the file as changed outside
    QTest::addColumn<QByteArray>("after");   // the file in the end; empty: the change refused

    QTest::newRow("Step, saved by an editor")
        << int(Step) << int(Renamed) << kEdited << QByteArray();
    QTest::newRow("Step, line inserted in place")
        << int(Step) << int(InPlace) << kInserted << QByteArray();
    QTest::newRow("Pay, saved while its dialog is open")
        << int(PayDialogOpen) << int(Renamed) << kEdited << QByteArray();
    QTest::newRow("Delete, saved by an editor")
        << int(Delete) << int(Renamed) << kEdited << QByteArray();
    QTest::newRow("Delete, line inserted in place")
        << int(Delete) << int(InPlace) << kInserted << QByteArray();
    QTest::newRow("Edit, saved while the form is open")
        << int(EditFormOpen) << int(Renamed) << kEdited << QByteArray();
    QTest::newRow("New entry, saved by an editor")
        << int(Add) << int(Renamed) << kEdited << QByteArray();
    QTest::newRow("Exit, saved by an editor")
        << int(IntroExit) << int(Renamed) << kEdited << QByteArray();
    QTest::newRow("Step, only touched")
        << int(Step) << int(Touched) << kBefore
        << QByteArray("Gym|Mem|2026-07-01|30.00|1\r\nRent|Sub|2026-06-03|800.00|1\r\n");
    QTest::newRow("Pay, touched while its dialog is open")
        << int(PayDialogOpen) << int(Touched) << kBefore
        << QByteArray("Gym|Mem|2026-07-15|30.00|1\r\nRent|Sub|2026-06-03|800.00|1\r\n");
}

void TestDataFileOutside::writerMeetsAnOutsideChange()
{
    QFETCH(int, writer);
    QFETCH(int, how);
    QFETCH(QByteArray, outside);
    QFETCH(QByteArray, after);
    QVERIFY(session_.start(kBefore));
    AppState& state = teststate::State();
    MainWindow main(state);
    main.show();
    auto* due = Child<QListWidget>(&main, "lstDue");
    const auto change = [&] { QVERIFY(ChangeOutside(session_.dataFile, How(how), outside)); };

    // Every writer acts on Gym, the first row of either list and record 1 when it was read.
    QStringList shownRows;
    if (writer == IntroExit) {
        IntroDialog intro(state);
        intro.show();
        change();
        platform::MessageTestHook::queueAnswer(true); // "Do you really want to clear the data?"
        Click(&intro, "cmdQuit");
    } else if (writer == Step || writer == PayDialogOpen) {
        ClickRow(due, 0);
        if (writer == Step) {
            change();
            Click(&main, "cmdStep");
        } else {
            DialogAnswer answer([&](ChangeAmountDialog* dialog) {
                change();
                Click(dialog, "cmdNoChange");
            });
            Click(&main, "cmdPay");
            QCOMPARE(answer.shown(), 1);
        }
        shownRows = Rows(due);
    } else {
        EntryListDialog entries(state, &main);
        entries.show();
        auto* list = Child<QListWidget>(&entries, "lstDisplay");
        ClickRow(list, 0);
        if (writer == Delete) {
            change();
            Click(&entries, "cmdDelete");
        } else if (writer == EditFormOpen) {
            ModalAnswer<EditRecordDialog> answer([&](EditRecordDialog* form) {
                change();
                QTest::keyClicks(Child<QLineEdit>(form, "txtIn(0)"), " club");
                Click(form, "cmdAccept");
            });
            Click(&entries, "cmdEdit");
            QCOMPARE(answer.shown(), 1);
        } else {
            ModalAnswer<AddRecordDialog> answer([&](AddRecordDialog* form) {
                change();
                const char* typed[] = {"Pool", "Sub", "2026-7-1", "5", "1"};
                for (int i = 0; i < 5; ++i)
                    QTest::keyClicks(
                        Child<QLineEdit>(form, qPrintable(QStringLiteral("txtIn(%1)").arg(i))),
                        typed[i]);
                Click(form, "cmdUseIt");
            });
            Click(&entries, "cmdAdd");
            QCOMPARE(answer.shown(), 1);
        }
        shownRows = Rows(list);
    }

    const QStringList messages = platform::MessageTestHook::takeShown();
    if (!after.isEmpty()) {
        QCOMPARE(session_.bytes(), after);
        QCOMPARE(messages, QStringList());
        return;
    }
    // Nothing of the outside change is lost, nothing of Kestrow's is made, the window shows
    // the file as it is now, and the user hears why.
    QCOMPARE(session_.bytes(), outside);
    if (writer == IntroExit) {
        QCOMPARE(messages.last(), QString::fromStdString(kestrow::notices::NotDeletedChangedOutside(
                                      session_.dataFile)));
        return;
    }
    QCOMPARE(messages, QStringList{QString::fromStdString(
                           kestrow::notices::ChangedOutside(session_.dataFile))});
    const QString mark = outside == kEdited ? QStringLiteral("35.00") : QStringLiteral("Tax");
    QVERIFY2(shownRows.join('\n').contains(mark), qPrintable(shownRows.join('\n')));
    QVERIFY(!QFile::exists(QString::fromStdString(session_.tempFile)));
}

QTEST_MAIN(TestDataFileOutside)
#include "tst_datafile_outside.moc"
