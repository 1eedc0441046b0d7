// The edit-record form: one rewrite of the data file held open while the form is shown,
// completed by "Accept" and abandoned by "Cancel", Esc or the close box. Driven through
// its boxes and buttons; the data file is compared byte for byte.
#include "forms/editrecorddialog.h"

#include "modaltest.h"
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"
#include "teststate.h"

#include <QApplication>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kGas = "Gas|Sub|2026-07-01|40.00|1";
const QByteArray kRent = "Rent|Sub|2025-03-01|500.00|1";
const QByteArray kPhone = "Phone|Sub|2026-06-20|30.00|1";
const QByteArray kThree = kGas + "\r\n" + kRent + "\r\n" + kPhone + "\r\n";

enum Box { Name = 0, Type = 1, Date = 2, Amount = 3, Duration = 4 };

} // namespace

class TestFrmChange : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void acceptMovesTheDateOn();
    void scratchHoldsTheLinesBefore();
    void editingTheLastRecord();
    void boxesStoredAsTheyStand_data();
    void boxesStoredAsTheyStand();
    void leavingTheDateBox_data();
    void leavingTheDateBox();
    void leavingTheAmountBox_data();
    void leavingTheAmountBox();
    void enterAppliesTheLeavingStep_data();
    void enterAppliesTheLeavingStep();
    void refusedAcceptLeavesTheFile_data();
    void refusedAcceptLeavesTheFile();
    void cancelLeavesTheFile_data();
    void cancelLeavesTheFile();
    void failedSaveKeepsTheForm();
    void noSuchRecord_data();
    void noSuchRecord();

private:
    bool open(const QByteArray& contents);
    QByteArray data() const { return read(dataPath()); }
    QByteArray scratch() const { return read(tempPath()); }
    bool scratchExists() const { return QFile::exists(tempPath()); }
    static QByteArray read(const QString& path);
    QString dataPath() const { return dir_->filePath(QStringLiteral("Kestrow.txt")); }
    QString tempPath() const { return dir_->filePath(QStringLiteral("xyzzy.tmp")); }
    // Shows the form for record `index` as the entry list would, without blocking.
    bool show(EditRecordDialog& form);
    static void retype(QLineEdit* box, const QString& text);

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestFrmChange::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    modaltest::Begin(dir_->path());
    modaltest::SetPaths(dir_->path());
}

void TestFrmChange::cleanup()
{
    modaltest::End();
    dir_.reset();
}

bool TestFrmChange::open(const QByteArray& contents)
{
    QFile file(dataPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return false;
    file.close();
    return bool(teststate::State().openData(teststate::DataFile(), teststate::TempFile()));
}

QByteArray TestFrmChange::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

bool TestFrmChange::show(EditRecordDialog& form)
{
    form.show();
    return QTest::qWaitForWindowActive(&form);
}

void TestFrmChange::retype(QLineEdit* box, const QString& text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    // Letters beyond Latin-1 come in as an input method would commit them.
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClicks(box, QString(c));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(box, &commit);
        }
    }
}

void TestFrmChange::acceptMovesTheDateOn()
{
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    QCOMPARE(form.txtIn[Name]->text(), QStringLiteral("Rent"));
    QCOMPARE(form.txtIn[Date]->text(), QStringLiteral("2025-03-01"));
    retype(form.txtIn[Name], QStringLiteral("Flat rent"));
    QTest::mouseClick(form.cmdAccept, Qt::LeftButton);

    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(data(), kGas + "\r\nFlat rent|Sub|2026-06-01|500.00|1\r\n" + kPhone + "\r\n");
    QVERIFY(!scratchExists());
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    QCOMPARE(teststate::State().data().readLines().size(), std::size_t(3));
}

void TestFrmChange::scratchHoldsTheLinesBefore()
{
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    QCOMPARE(scratch(), kGas + "\r\n");
    QCOMPARE(data(), kThree);
    form.reject();
}

void TestFrmChange::editingTheLastRecord()
{
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), 3);
    QVERIFY(show(form));
    QCOMPARE(scratch(), kGas + "\r\n" + kRent + "\r\n");
    QCOMPARE(form.txtIn[Name]->text(), QStringLiteral("Phone"));
    retype(form.txtIn[Amount], QStringLiteral("31"));
    QTest::mouseClick(form.cmdAccept, Qt::LeftButton);

    QVERIFY(!form.isVisible());
    QCOMPARE(data(), kGas + "\r\n" + kRent + "\r\nPhone|Sub|2026-06-20|31.00|1\r\n");
    QVERIFY(!scratchExists());
}

void TestFrmChange::boxesStoredAsTheyStand_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("type of four characters")
        << int(Type) << "Memb" << QByteArray("Rent|Memb|2026-06-01|500.00|1");
    QTest::newRow("name with blanks around it")
        << int(Name) << " Flat rent " << QByteArray(" Flat rent |Sub|2026-06-01|500.00|1");
    QTest::newRow("name in UTF-8") << int(Name) << QStringLiteral("Caf\u00e9")
                                   << QByteArray("Caf\xc3\xa9|Sub|2026-06-01|500.00|1");
    QTest::newRow("duration changes the step")
        << int(Duration) << "12" << QByteArray("Rent|Sub|2026-03-01|500.00|12");
}

void TestFrmChange::boxesStoredAsTheyStand()
{
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    retype(form.txtIn[box], typed);
    QTest::mouseClick(form.cmdAccept, Qt::LeftButton);
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    QCOMPARE(data(), kGas + "\r\n" + stored + "\r\n" + kPhone + "\r\n");
}

void TestFrmChange::leavingTheDateBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("short month and day") << "2026-7-1"
                                         << "2026-07-01" << QStringList();
    QTest::newRow("slashes") << "2026/07/01"
                             << "" << QStringList{"Invalid date"};
    QTest::newRow("two parts") << "2026-3"
                               << "" << QStringList{"Invalid date"};
    QTest::newRow("two-digit year") << "26-3-1"
                                    << "" << QStringList{"Invalid date"};
    QTest::newRow("month 13") << "2026-13-01"
                              << "" << QStringList{"Invalid date"};
    QTest::newRow("day 32") << "2026-07-32"
                            << "" << QStringList{"Invalid date"};
}

void TestFrmChange::leavingTheDateBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QStringList, messages);
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    retype(form.txtIn[Date], typed);
    QTest::keyClick(form.txtIn[Date], Qt::Key_Tab);
    QCOMPARE(form.txtIn[Date]->text(), shown);
    QCOMPARE(platform::MessageTestHook::takeShown(), messages);
    // The focus goes where the user sent it, valid date or not.
    QCOMPARE(form.focusWidget(), form.txtIn[Amount]);
    QCOMPARE(data(), kThree);
    form.reject();
}

void TestFrmChange::leavingTheAmountBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("grouped with two decimals") << "1234.5"
                                               << "1,234.50";
    QTest::newRow("below one") << ".5"
                               << ".50";
    QTest::newRow("grouping commas accepted") << "1,200"
                                              << "1,200.00";
    QTest::newRow("not a number stays as typed") << "abc"
                                                 << "abc";
    QTest::newRow("empty stays empty") << ""
                                       << "";
}

void TestFrmChange::leavingTheAmountBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    retype(form.txtIn[Amount], typed);
    QTest::keyClick(form.txtIn[Amount], Qt::Key_Tab);
    QCOMPARE(form.txtIn[Amount]->text(), shown);
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    form.reject();
}

void TestFrmChange::enterAppliesTheLeavingStep_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("date normalised")
        << int(Date) << "2026-7-1" << QByteArray("Rent|Sub|2026-07-01|500.00|12");
    QTest::newRow("amount reformatted")
        << int(Amount) << "1234.5" << QByteArray("Rent|Sub|2026-03-01|1,234.50|12");
}

void TestFrmChange::enterAppliesTheLeavingStep()
{
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    QVERIFY(open(kGas + "\r\nRent|Sub|2025-03-01|500.00|12\r\n"));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    retype(form.txtIn[box], typed);
    QTest::keyClick(form.txtIn[box], Qt::Key_Return);
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    QVERIFY(!form.isVisible());
    QCOMPARE(data(), kGas + "\r\n" + stored + "\r\n");
}

void TestFrmChange::refusedAcceptLeavesTheFile_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("mouse"); // Accept clicked, else Enter in the box
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("focus");

    const auto row = [](const char* name, Box box, const char* typed, const char* message) {
        QTest::newRow(name) << int(box) << QString::fromUtf8(typed) << false
                            << QStringList{QString::fromUtf8(message)} << int(box);
    };
    row("empty name", Name, "", "Entry 0 is null");
    row("blank name", Name, "   ", "Entry 0 is null");
    row("empty type", Type, "", "Entry 1 is null");
    row("empty amount", Amount, "", "Entry 3 is null");
    row("empty duration", Duration, "", "Entry 4 is null");
    row("| in the name", Name, "Flat|rent", "The character | cannot be used");
    row("| in the type", Type, "S|b", "The character | cannot be used");
    row("| in the amount", Amount, "5|0", "The character | cannot be used");
    row("date with slashes", Date, "2026/07/01", "Invalid date");
    row("date of two parts", Date, "2026-7", "Invalid date");
    row("two-digit year", Date, "26-3-1", "Invalid date");
    row("month 13", Date, "2026-13-01", "Invalid date");
    row("day 0", Date, "2026-07-00", "Invalid date");
    row("amount of letters", Amount, "abc", "Invalid amount");
    row("amount with two points", Amount, "1.2.3", "Invalid amount");
    row("negative amount", Amount, "-5", "Invalid amount");
    row("duration 0", Duration, "0", "Invalid number of months");
    row("duration with a fraction", Duration, "1.5", "Invalid number of months");
    row("duration of letters", Duration, "x", "Invalid number of months");
    row("duration beyond 16 bits", Duration, "40000", "Invalid number of months");
    row("duration too long to step the date on", Duration, "32767", "Invalid number of months");
    // Clicked: the date box was left first and emptied there; Accept then finds it empty.
    QTest::newRow("date left for the Accept button")
        << int(Date) << "2026/07/01" << true << QStringList{"Invalid date", "Entry 2 is null"}
        << int(Date);
    QTest::newRow("amount left for the Accept button")
        << int(Amount) << "abc" << true << QStringList{"Invalid amount"} << int(Amount);
}

void TestFrmChange::refusedAcceptLeavesTheFile()
{
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(bool, mouse);
    QFETCH(QStringList, messages);
    QFETCH(int, focus);
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    retype(form.txtIn[box], typed);
    if (mouse)
        QTest::mouseClick(form.cmdAccept, Qt::LeftButton);
    else
        QTest::keyClick(form.txtIn[box], Qt::Key_Return);

    QCOMPARE(platform::MessageTestHook::takeShown(), messages);
    QVERIFY(form.isVisible());
    QCOMPARE(form.focusWidget(), form.txtIn[focus]);
    QCOMPARE(data(), kThree);
    // The rewrite is still under way, so the user can correct the box and accept.
    QCOMPARE(scratch(), kGas + "\r\n");
    QTest::mouseClick(form.cmdCancel, Qt::LeftButton);
    QVERIFY(!scratchExists());
    QCOMPARE(data(), kThree);
}

void TestFrmChange::cancelLeavesTheFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "button";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("close box") << "close";
    QTest::newRow("Cancel with an invalid date in the focused box") << "invalid date";
}

void TestFrmChange::cancelLeavesTheFile()
{
    QFETCH(QString, how);
    // No line end after the last line: a completed rewrite would add one.
    const QByteArray contents = kGas + "\r\n" + kRent + "\r\n" + kPhone;
    QVERIFY(open(contents));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    retype(form.txtIn[Name], QStringLiteral("Flat rent"));
    retype(form.txtIn[Amount], QStringLiteral("99"));
    QTest::keyClick(form.txtIn[Amount], Qt::Key_Tab);
    QVERIFY(scratchExists());

    if (how == QLatin1String("button")) {
        QTest::mouseClick(form.cmdCancel, Qt::LeftButton);
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(form.txtIn[Duration], Qt::Key_Escape);
    } else if (how == QLatin1String("close")) {
        form.close();
    } else {
        retype(form.txtIn[Date], QStringLiteral("2026/07/01"));
        QTest::mouseClick(form.cmdCancel, Qt::LeftButton);
    }

    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(data(), contents);
    QVERIFY(!scratchExists());
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    // The rewrite has ended: the next change can start.
    QVERIFY(teststate::State().data().beginRewrite().active());
}

void TestFrmChange::failedSaveKeepsTheForm()
{
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), 2);
    QVERIFY(show(form));
    // A pasted line break would split the record in two; the store refuses the save.
    form.txtIn[Name]->setText(QStringLiteral("Flat\nrent"));
    QVERIFY(form.txtIn[Name]->text().contains(QLatin1Char('\n')));
    QTest::mouseClick(form.cmdAccept, Qt::LeftButton);

    const QStringList shown = platform::MessageTestHook::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.front().contains(QLatin1String("line break")), qPrintable(shown.front()));
    QVERIFY(form.isVisible());
    QCOMPARE(data(), kThree);
    QCOMPARE(scratch(), kGas + "\r\n");

    retype(form.txtIn[Name], QStringLiteral("Flat rent"));
    QTest::mouseClick(form.cmdAccept, Qt::LeftButton);
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    QVERIFY(!form.isVisible());
    QCOMPARE(data(), kGas + "\r\nFlat rent|Sub|2026-06-01|500.00|1\r\n" + kPhone + "\r\n");
    QVERIFY(!scratchExists());
}

void TestFrmChange::noSuchRecord_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("past the last line") << 4;
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("largest") << 2147483647;
}

void TestFrmChange::noSuchRecord()
{
    QFETCH(int, index);
    QVERIFY(open(kThree));
    EditRecordDialog form(teststate::State(), index);
    // Should the form come up after all, it is closed again so the test cannot hang.
    bool cameUp = false;
    QTimer::singleShot(0, &form, [&] {
        if (form.isVisible()) {
            cameUp = true;
            form.reject();
        }
    });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    QVERIFY(!cameUp);
    QCOMPARE(data(), kThree);
    QVERIFY(!scratchExists());
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
    QVERIFY(teststate::State().data().beginRewrite().active());
}

QTEST_MAIN(TestFrmChange)
#include "tst_frmchange.moc"
