// The add-record form as a user drives it: the per-key filters, the checks on leaving a
// box that keep the focus there, "Use this entry" by click and by Enter, and "Finished".
#include "forms/addrecorddialog.h"
#include "modaltest.h"
#include "teststate.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using modaltest::Click;
using modaltest::Type;

class TestFrmAdd : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void tabOrder();
    void keyFilter_data();
    void keyFilter();
    void paste_data();
    void paste();
    void pasteBesideReformattedAmount();
    void leaving_data();
    void leaving();
    void refusedLeaveStopsClicks_data();
    void refusedLeaveStopsClicks();
    void clickRunsTheLeavingCheck();
    void storedRecord_data();
    void storedRecord();
    void nullEntries_data();
    void nullEntries();
    void enterWithDurationZero();
    void finishedWritesNothing_data();
    void finishedWritesNothing();
    void durationRaisesHorizon_data();
    void durationRaisesHorizon();
    void deletedFileIsCreatedAgain();
    void entriesFollowOneAnother();

private:
    void showForm();
    // Types the texts into the first boxes, leaving each box with Tab except the last.
    void fill(const QStringList& texts);
    // Valid texts in the boxes before `box`, and the focus in `box`.
    void reach(int box);
    // Empties a box with End and Backspace and types the text.
    void retype(QLineEdit* box, const QString& text);
    QStringList shown() { return platform::MessageTestHook::takeShown(); }
    QByteArray contents() const { return folder_->contents(); }

    std::unique_ptr<modaltest::Folder> folder_;
    std::unique_ptr<AddRecordDialog> form_;
};

void TestFrmAdd::init()
{
    folder_ = std::make_unique<modaltest::Folder>();
    modaltest::Begin(*folder_);
    QVERIFY(folder_->open());
    showForm();
}

void TestFrmAdd::cleanup()
{
    form_.reset();
    modaltest::End();
    folder_.reset();
}

void TestFrmAdd::showForm()
{
    form_ = std::make_unique<AddRecordDialog>(teststate::State());
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QCOMPARE(form_->focusWidget(), form_->txtIn[0]);
}

void TestFrmAdd::fill(const QStringList& texts)
{
    for (int i = 0; i < texts.size(); ++i) {
        Type(form_->txtIn[i], texts[i]);
        if (i + 1 < texts.size())
            QTest::keyClick(form_->txtIn[i], Qt::Key_Tab);
    }
}

void TestFrmAdd::reach(int box)
{
    const QStringList valid{"Rent", "Sub", "2026-3-1", "5", "12"};
    fill(valid.mid(0, box));
    if (box > 0)
        QTest::keyClick(form_->txtIn[box - 1], Qt::Key_Tab);
    QCOMPARE(form_->focusWidget(), form_->txtIn[box]);
}

void TestFrmAdd::retype(QLineEdit* box, const QString& text)
{
    QTest::keyClick(box, Qt::Key_End);
    for (qsizetype i = box->text().size(); i > 0; --i)
        QTest::keyClick(box, Qt::Key_Backspace);
    Type(box, text);
}

void TestFrmAdd::tabOrder()
{
    fill({"Rent", "Sub", "2026-3-1", "5", "1"});
    QTest::keyClick(form_->txtIn[4], Qt::Key_Tab);
    QCOMPARE(form_->focusWidget(), form_->cmdUseIt);
    QTest::keyClick(form_->cmdUseIt, Qt::Key_Tab);
    QCOMPARE(form_->focusWidget(), form_->cmdCancel);
    QTest::keyClick(form_->cmdCancel, Qt::Key_Tab);
    QCOMPARE(form_->focusWidget(), form_->txtIn[0]);
    QTest::keyClick(form_->txtIn[0], Qt::Key_Backtab);
    QCOMPARE(form_->focusWidget(), form_->cmdCancel);
    QVERIFY(shown().isEmpty());
}

void TestFrmAdd::keyFilter_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("messages");
    const QString date = QStringLiteral("Invalid character in date");
    const QString amount = QStringLiteral("Invalid character in amount");
    const QString duration = QStringLiteral("Invalid character in duration");
    const QString bar = QStringLiteral("The character | cannot be used");
    QTest::newRow("letter in date") << 2 << "2026a"
                                    << "2026" << QStringList{date};
    QTest::newRow("blank in date") << 2 << "2026 -3"
                                   << "2026-3" << QStringList{date};
    QTest::newRow("digits and dashes in date") << 2 << "2026-3-1"
                                               << "2026-3-1" << QStringList{};
    QTest::newRow("letter in amount") << 3 << "12a"
                                      << "12" << QStringList{amount};
    QTest::newRow("comma in amount") << 3 << "1,2"
                                     << "12" << QStringList{amount};
    QTest::newRow("digits and point in amount") << 3 << "1234.5"
                                                << "1234.5" << QStringList{};
    QTest::newRow("letter in duration") << 4 << "x"
                                        << "" << QStringList{duration};
    QTest::newRow("point in duration") << 4 << "1.5"
                                       << "15" << QStringList{duration};
    QTest::newRow("letters in name") << 0 << "Car insurance"
                                     << "Car insurance" << QStringList{};
    QTest::newRow("accents in name") << 0 << "Café"
                                     << "Café" << QStringList{};
    QTest::newRow("bar in name") << 0 << "a|b"
                                 << "ab" << QStringList{bar};
    QTest::newRow("bar in type") << 1 << "|"
                                 << "" << QStringList{bar};
    QTest::newRow("backspace in date") << 2 << "20x\b6"
                                       << "26" << QStringList{date};
}

void TestFrmAdd::keyFilter()
{
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QStringList, messages);
    QLineEdit* target = form_->txtIn[box];
    for (const QChar c : typed) {
        if (c == QLatin1Char('\b'))
            QTest::keyClick(target, Qt::Key_Backspace);
        else
            Type(target, QString(c));
    }
    QCOMPARE(target->text(), text);
    QCOMPARE(shown(), messages);
}

void TestFrmAdd::paste_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("letters into amount") << 3 << "12abc"
                                         << "" << QStringList{"Invalid character in amount"};
    QTest::newRow("letters into date") << 2 << "March 1"
                                       << "" << QStringList{"Invalid character in date"};
    QTest::newRow("sign into duration") << 4 << "+12"
                                        << "" << QStringList{"Invalid character in duration"};
    QTest::newRow("line break into duration") << 4 << "12\n"
                                              << "" << QStringList{"Invalid character in duration"};
    QTest::newRow("bar into name") << 0 << "Car|Sub"
                                   << "" << QStringList{"The character | cannot be used"};
    QTest::newRow("line break into name") << 0 << "Car\r\ninsurance"
                                          << "Car  insurance" << QStringList{};
    QTest::newRow("tab into type") << 1 << "S\tb"
                                   << "S b" << QStringList{};
}

void TestFrmAdd::paste()
{
    QFETCH(int, box);
    QFETCH(QString, clip);
    QFETCH(QString, text);
    QFETCH(QStringList, messages);
    reach(box);
    QApplication::clipboard()->setText(clip);
    QTest::keyClick(form_->txtIn[box], Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(form_->txtIn[box]->text(), text);
    QCOMPARE(shown(), messages);
}

void TestFrmAdd::pasteBesideReformattedAmount()
{
    // The reformatted amount holds commas the key filter would refuse; only what is
    // pasted is checked, not what the form itself put there.
    QLineEdit* amount = form_->txtIn[3];
    QTest::keyClick(form_->txtIn[0], Qt::Key_Tab);
    QTest::keyClick(form_->txtIn[1], Qt::Key_Tab);
    Type(form_->txtIn[2], "2026-1-1");
    QTest::keyClick(form_->txtIn[2], Qt::Key_Tab);
    Type(amount, "1234");
    QTest::keyClick(amount, Qt::Key_Tab);
    QCOMPARE(amount->text(), QStringLiteral("1,234.00"));
    QTest::keyClick(form_->txtIn[4], Qt::Key_Backtab);
    QCOMPARE(form_->focusWidget(), amount);
    amount->setCursorPosition(1);
    QApplication::clipboard()->setText(QStringLiteral("5"));
    QTest::keyClick(amount, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(amount->text(), QStringLiteral("15,234.00"));
    QApplication::clipboard()->setText(QStringLiteral("x"));
    QTest::keyClick(amount, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(amount->text(), QStringLiteral("15,234.00"));
    QCOMPARE(shown(), QStringList{"Invalid character in amount"});
    QTest::keyClick(amount, Qt::Key_Tab);
    QCOMPARE(amount->text(), QStringLiteral("15,234.00"));
}

void TestFrmAdd::leaving_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QString>("message");

    QTest::newRow("name") << 0 << "Rent"
                          << "Rent" << false << "";
    QTest::newRow("type of three") << 1 << "Sub"
                                   << "Sub" << false << "";
    QTest::newRow("type of four") << 1 << "Subs"
                                  << "" << true << "Type can have only three characters";
    QTest::newRow("type of three accented") << 1 << "Été"
                                            << "Été" << false << "";

    const QString date = QStringLiteral("Invalid date");
    QTest::newRow("date normalised") << 2 << "2026-3-1"
                                     << "2026-03-01" << false << "";
    QTest::newRow("date of two parts") << 2 << "2026-3"
                                       << "" << true << date;
    QTest::newRow("date with an empty part") << 2 << "2026--1"
                                             << "" << true << date;
    QTest::newRow("empty date") << 2 << ""
                                << "" << true << date;
    QTest::newRow("two-digit year") << 2 << "26-3-1"
                                    << "" << true << date;
    QTest::newRow("year with leading zero") << 2 << "0999-3-1"
                                            << "0999-03-01" << false << "";
    QTest::newRow("month 13") << 2 << "2026-13-1"
                              << "" << true << date;
    QTest::newRow("day 32") << 2 << "2026-3-32"
                            << "" << true << date;
    QTest::newRow("day beyond 16 bits") << 2 << "2026-3-99999"
                                        << "" << true << date;

    QTest::newRow("amount reformatted") << 3 << "1234.5"
                                        << "1,234.50" << false << "";
    QTest::newRow("amount below one") << 3 << ".5"
                                      << ".50" << false << "";
    QTest::newRow("amount zero") << 3 << "0"
                                 << ".00" << false << "";
    QTest::newRow("amount with two points") << 3 << "1.2.3"
                                            << "1.2.3" << true << "Invalid amount";
    QTest::newRow("amount of a point") << 3 << "."
                                       << "." << true << "Invalid amount";

    const QString months = QStringLiteral("Invalid number of months");
    QTest::newRow("duration 32767") << 4 << "32767"
                                    << "32767" << false << "";
    QTest::newRow("duration 0") << 4 << "0"
                                << "0" << true << months;
    QTest::newRow("duration 32768") << 4 << "32768"
                                    << "32768" << true << months;
    QTest::newRow("duration of 12 digits") << 4 << "999999999999"
                                           << "999999999999" << true << months;
}

void TestFrmAdd::leaving()
{
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(bool, kept);
    QFETCH(QString, message);
    reach(box);
    QLineEdit* target = form_->txtIn[box];
    Type(target, typed);
    QTest::keyClick(target, Qt::Key_Tab);
    QCOMPARE(target->text(), text);
    QWidget* next = box + 1 < AddRecordDialog::kBoxes ? static_cast<QWidget*>(form_->txtIn[box + 1])
                                                      : form_->cmdUseIt;
    QCOMPARE(form_->focusWidget(), kept ? static_cast<QWidget*>(target) : next);
    QCOMPARE(shown(), message.isEmpty() ? QStringList{} : QStringList{message});
    if (kept && !(box == 1 && text.isEmpty())) { // Shift+Tab is refused the same way
        QTest::keyClick(target, Qt::Key_Backtab);
        QCOMPARE(form_->focusWidget(), target);
        QCOMPARE(shown().size(), 1);
    }
}

void TestFrmAdd::refusedLeaveStopsClicks_data()
{
    QTest::addColumn<QString>("clicked");
    QTest::newRow("Use this entry") << "cmdUseIt";
    QTest::newRow("Finished") << "cmdCancel";
    QTest::newRow("another box") << "txtIn(4)";
}

void TestFrmAdd::refusedLeaveStopsClicks()
{
    QFETCH(QString, clicked);
    fill({"Rent", "Sub", "2026-3-1", "5", "12"});
    QTest::keyClick(form_->txtIn[4], Qt::Key_Backtab);
    QTest::keyClick(form_->txtIn[3], Qt::Key_Backtab);
    QLineEdit* date = form_->txtIn[2];
    retype(date, "2026-3");
    auto* target = form_->findChild<QWidget*>(clicked);
    QVERIFY(target);
    Click(target);
    QCOMPARE(shown(), QStringList{"Invalid date"});
    QCOMPARE(form_->focusWidget(), date);
    QCOMPARE(date->text(), QString());
    QVERIFY(form_->isVisible());
    QCOMPARE(contents(), QByteArray());

    // Once the date is right, the same click acts.
    Type(date, "2026-3-1");
    Click(target);
    QCOMPARE(shown(), QStringList{});
    QCOMPARE(form_->isVisible(), clicked != "cmdCancel");
    QCOMPARE(contents(),
             clicked == "cmdUseIt" ? QByteArray("Rent|Sub|2026-03-01|5.00|12\r\n") : QByteArray());
    if (clicked == "txtIn(4)") {
        QCOMPARE(form_->focusWidget(), target);
        QCOMPARE(date->text(), QStringLiteral("2026-03-01"));
    }
}

void TestFrmAdd::clickRunsTheLeavingCheck()
{
    fill({"Rent", "Sub", "2026-3-1"});
    Click(form_->txtIn[0]);
    QCOMPARE(form_->focusWidget(), form_->txtIn[0]);
    QCOMPARE(form_->txtIn[2]->text(), QStringLiteral("2026-03-01"));
    Click(form_->txtIn[1]);
    Type(form_->txtIn[1], "x");
    Click(form_->txtIn[3]);
    QCOMPARE(shown(), QStringList{"Type can have only three characters"});
    QCOMPARE(form_->focusWidget(), form_->txtIn[1]);
    QCOMPARE(form_->txtIn[1]->text(), QString());
}

void TestFrmAdd::storedRecord_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("line");
    const QStringList example{"Car insurance", "Sub", "2026-3-1", "1234.5", "12"};
    const QByteArray stored("Car insurance|Sub|2026-03-01|1,234.50|12\r\n");
    QTest::newRow("click") << example << "click" << stored;
    QTest::newRow("Enter in the duration box") << example << "enter" << stored;
    QTest::newRow("Enter in the name box") << example << "enter in name" << stored;
    QTest::newRow("Enter on the button") << example << "enter on button" << stored;
    QTest::newRow("name with blanks around it")
        << QStringList{"  Rent  ", "Mem", "2026-12-31", ".5", "1"} << "click"
        << QByteArray("Rent|Mem|2026-12-31|.50|1\r\n");
    QTest::newRow("blank inside type kept")
        << QStringList{"Gym", "S b", "2027-1-5", "30", "3"} << "enter"
        << QByteArray("Gym|S b|2027-01-05|30.00|3\r\n");
    QTest::newRow("accented name in UTF-8")
        << QStringList{"Café", "Sub", "2026-06-01", "4.5", "1"} << "enter"
        << QByteArray("Caf\xc3\xa9|Sub|2026-06-01|4.50|1\r\n");
}

void TestFrmAdd::storedRecord()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, how);
    QFETCH(QByteArray, line);
    fill(texts);
    if (how == "click") {
        Click(form_->cmdUseIt);
    } else if (how == "enter") {
        QTest::keyClick(form_->txtIn[4], Qt::Key_Return);
    } else if (how == "enter in name") {
        QTest::keyClick(form_->txtIn[4], Qt::Key_Tab);
        Click(form_->txtIn[0]);
        QTest::keyClick(form_->txtIn[0], Qt::Key_Enter);
    } else {
        QTest::keyClick(form_->txtIn[4], Qt::Key_Tab);
        QCOMPARE(form_->focusWidget(), form_->cmdUseIt);
        QTest::keyClick(form_->cmdUseIt, Qt::Key_Return);
    }
    QCOMPARE(shown(), QStringList{});
    QCOMPARE(contents(), line);
    for (QLineEdit* box : form_->txtIn)
        QCOMPARE(box->text(), QString());
    QCOMPARE(form_->focusWidget(), form_->txtIn[0]);
    QVERIFY(form_->isVisible());
}

void TestFrmAdd::nullEntries_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("empty");
    QTest::newRow("all empty") << QStringList{} << 0;
    QTest::newRow("name of blanks") << QStringList{"   ", "Sub", "2026-3-1", "5", "1"} << 0;
    QTest::newRow("no type") << QStringList{"Rent", "", "2026-3-1", "5", "1"} << 1;
    QTest::newRow("no amount") << QStringList{"Rent", "Sub", "2026-3-1", "", "1"} << 3;
    QTest::newRow("no duration") << QStringList{"Rent", "Sub", "2026-3-1", "5"} << 4;
}

void TestFrmAdd::nullEntries()
{
    QFETCH(QStringList, texts);
    QFETCH(int, empty);
    fill(texts);
    Click(form_->cmdUseIt);
    QCOMPARE(shown(), QStringList{QStringLiteral("Entry %1 is null").arg(empty)});
    QCOMPARE(form_->focusWidget(), form_->txtIn[empty]);
    QCOMPARE(contents(), QByteArray());
}

void TestFrmAdd::enterWithDurationZero()
{
    fill({"Rent", "Sub", "2026-3-1", "5", "0"});
    QTest::keyClick(form_->txtIn[4], Qt::Key_Return);
    QCOMPARE(shown(), QStringList{"Invalid number of months"});
    QCOMPARE(form_->txtIn[4]->text(), QStringLiteral("0"));
    QCOMPARE(form_->focusWidget(), form_->txtIn[4]);
    QCOMPARE(contents(), QByteArray());
}

void TestFrmAdd::finishedWritesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click Finished") << "click";
    QTest::newRow("Esc in a box") << "esc";
    QTest::newRow("Esc on a button") << "esc on button";
    QTest::newRow("close box") << "close";
}

void TestFrmAdd::finishedWritesNothing()
{
    QFETCH(QString, how);
    fill({"Rent", "Sub", "2026-3-1", "5", "12"});
    if (how == "click") {
        Click(form_->cmdCancel);
    } else if (how == "esc") {
        QTest::keyClick(form_->txtIn[4], Qt::Key_Escape);
    } else if (how == "esc on button") {
        QTest::keyClick(form_->txtIn[4], Qt::Key_Tab);
        QTest::keyClick(form_->cmdUseIt, Qt::Key_Escape);
    } else {
        form_->close();
    }
    QVERIFY(!form_->isVisible());
    QCOMPARE(form_->result(), int(QDialog::Rejected));
    QCOMPARE(contents(), QByteArray());
    QCOMPARE(shown(), QStringList{});
}

void TestFrmAdd::durationRaisesHorizon_data()
{
    QTest::addColumn<QString>("duration");
    QTest::addColumn<int>("horizon");
    QTest::newRow("below the horizon") << "12" << 120;
    QTest::newRow("at the horizon") << "120" << 120;
    QTest::newRow("beyond the horizon") << "240" << 240;
    QTest::newRow("largest") << "32767" << 32767;
}

void TestFrmAdd::durationRaisesHorizon()
{
    QFETCH(QString, duration);
    QFETCH(int, horizon);
    fill({"Plan", "SG", "2026-3-1", "5", duration});
    QTest::keyClick(form_->txtIn[4], Qt::Key_Return);
    QCOMPARE(int(teststate::State().horizonMonths()), horizon);
}

void TestFrmAdd::deletedFileIsCreatedAgain()
{
    // The data file vanishes behind Kestrow's back: the record typed is kept in a new one,
    // which Kestrow then reads.
    QVERIFY(QFile::remove(folder_->dataPath()));
    fill({"Plan", "SG", "2026-3-1", "5", "240"});
    QTest::keyClick(form_->txtIn[4], Qt::Key_Return);
    QCOMPARE(shown(), QStringList{});
    QCOMPARE(contents(), QByteArray("Plan|SG|2026-03-01|5.00|240\r\n"));
    QCOMPARE(teststate::State().data().readLines().size(), std::size_t(1));
    QCOMPARE(int(teststate::State().horizonMonths()), 240);
}

void TestFrmAdd::entriesFollowOneAnother()
{
    fill({"First", "A", "2026-1-1", "1", "1"});
    QTest::keyClick(form_->txtIn[4], Qt::Key_Return);
    fill({"Second", "B", "2026-2-2", "2", "2"});
    Click(form_->cmdUseIt);
    QCOMPARE(contents(), QByteArray("First|A|2026-01-01|1.00|1\r\n"
                                    "Second|B|2026-02-02|2.00|2\r\n"));
    QCOMPARE(teststate::State().data().readLines().size(), std::size_t(2));
    QCOMPARE(shown(), QStringList{});
}

QTEST_MAIN(TestFrmAdd)
#include "tst_frmadd.moc"
