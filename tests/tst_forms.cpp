// The forms as a user drives them: one table of dates, amounts and periods through both
// record forms, which must accept and refuse the same ones; the add form's per-key checks,
// pastes and checks on leaving a box; the edit form's Accept and Cancel against the data
// file's bytes; the introduction screen's Continue and Exit; the change-amount dialog.
#include "forms/addrecorddialog.h"
#include "forms/changeamountdialog.h"
#include "forms/editrecorddialog.h"
#include "forms/introdialog.h"
#include "testutil.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>

using tu::Click;
using tu::Find;
using tu::Type;

namespace {

QLineEdit* Box(const QWidget* form, int i)
{
    return Find<QLineEdit>(form, QStringLiteral("txtIn(%1)").arg(i));
}

// Types the texts into the boxes in turn, leaving each with Tab (the fifth with `last`),
// and stops where a box keeps the focus.
void Fill(QWidget* form, const QStringList& texts, Qt::Key last = Qt::Key_Return)
{
    for (int i = 0; i < texts.size() && form->focusWidget() == Box(form, i); ++i) {
        Type(Box(form, i), texts[i]);
        QTest::keyClick(Box(form, i), i == 4 ? last : Qt::Key_Tab);
    }
}

bool Show(QWidget& window)
{
    window.show();
    return QTest::qWaitForWindowActive(&window);
}

const QByteArray kThree = "Gas|Sub|2026-07-01|40.00|1\r\nRent|Sub|2025-03-01|500.00|1\r\n"
                          "Phone|Sub|2026-06-20|30.00|1\r\n";

} // namespace

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }
    void bothFormsAccept_data();
    void bothFormsAccept();
    void bothFormsRefuse_data();
    void bothFormsRefuse();
    void addFormTyping_data();
    void addFormTyping();
    void addFormLeaving();
    void addFormNullEntries_data();
    void addFormNullEntries();
    void addFormEntriesFollowOneAnother();
    void addFormFinished();
    void editFormAccept();
    void editFormCancel();
    void editFormFailedSave();
    void editFormWithoutRecord();
    void introContinue_data();
    void introContinue();
    void introExit_data();
    void introExit();
    void introTextsFit();
    void changeAmountPercentages_data();
    void changeAmountPercentages();
    void changeAmountWaysOut_data();
    void changeAmountWaysOut();
    void changeAmountNotANumber_data();
    void changeAmountNotANumber();

private:
    std::unique_ptr<tu::Fixture> f;
};

void TestForms::bothFormsAccept_data()
{
    QTest::addColumn<QStringList>("typed"); // date, amount, duration
    QTest::addColumn<QByteArray>("added");  // the record the add form appends; empty: refused
    QTest::addColumn<QByteArray>("edited"); // the record the edit form writes; empty: refused
    QTest::newRow("a date this year") << QStringList{"2026-7-1", "1234.5", "12"}
                                      << QByteArray("Rent|Sub|2026-07-01|1,234.50|12")
                                      << QByteArray("Rent|Sub|2026-07-01|1,234.50|12");
    // The edit form writes the date moved on to its next occurrence.
    QTest::newRow("a year with a leading zero") << QStringList{"0999-3-1", ".5", "12"}
                                                << QByteArray("Rent|Sub|0999-03-01|.50|12")
                                                << QByteArray("Rent|Sub|2026-03-01|.50|12");
    QTest::newRow("a day cut to a short month") << QStringList{"2026-3-31", "0", "1"}
                                                << QByteArray("Rent|Sub|2026-03-31|.00|1")
                                                << QByteArray("Rent|Sub|2026-06-30|.00|1");
    QTest::newRow("the longest period") << QStringList{"2026-7-1", "007", "32767"}
                                        << QByteArray("Rent|Sub|2026-07-01|7.00|32767")
                                        << QByteArray("Rent|Sub|2026-07-01|7.00|32767");
}

void TestForms::bothFormsAccept()
{
    QFETCH(QStringList, typed);
    QFETCH(QByteArray, added);
    QFETCH(QByteArray, edited);
    QVERIFY(f->open(""));
    {
        AddRecordDialog add(f->state());
        QVERIFY(Show(add));
        Fill(&add, QStringList{"Rent", "Sub"} + typed);
        QCOMPARE(f->bytes(), added.isEmpty() ? QByteArray() : added + "\r\n");
    }
    const QByteArray old = "Old|Mem|2026-01-01|5.00|1";
    QVERIFY(f->open(old + "\r\n"));
    EditRecordDialog edit(f->state(), 1);
    QVERIFY(Show(edit));
    const QStringList texts = QStringList{"Rent", "Sub"} + typed;
    for (int i = 0; i < 5; ++i)
        tu::Retype(&edit, QStringLiteral("txtIn(%1)").arg(i), texts[i]);
    Click(&edit, "cmdAccept");
    QCOMPARE(f->bytes(), (edited.isEmpty() ? old : edited) + "\r\n");
    // A refused record leaves the form open with its rewrite, for the user to correct.
    QCOMPARE(edit.isVisible(), edited.isEmpty());
    QCOMPARE(f->scratch(), edited.isEmpty());
}

void TestForms::bothFormsRefuse_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QByteArray>("added");
    QTest::addColumn<QByteArray>("edited");
    const auto row = [](const char* name, const QStringList& typed) {
        QTest::newRow(name) << typed << QByteArray() << QByteArray();
    };
    row("three-digit year", {"999-3-1", "5", "12"});
    row("five-digit year", {"12026-3-1", "5", "12"});
    row("month 13", {"2026-13-1", "5", "12"});
    row("day 0", {"2026-3-0", "5", "12"});
    row("day 32", {"2026-3-32", "5", "12"});
    row("day beyond 16 bits", {"2026-3-99999", "5", "12"});
    row("two parts", {"2026-3", "5", "12"});
    row("an empty part", {"2026--1", "5", "12"});
    row("amount with two points", {"2026-7-1", "1.2.3", "12"});
    row("amount of a point", {"2026-7-1", ".", "12"});
    row("no months", {"2026-7-1", "5", "0"});
    row("months beyond 16 bits", {"2026-7-1", "5", "32768"});
    row("months of twelve digits", {"2026-7-1", "5", "999999999999"});
    row("a date too old for its period", {"0001-3-1", "5", "32767"});
}

void TestForms::bothFormsRefuse()
{
    bothFormsAccept();
}

void TestForms::addFormTyping_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<bool>("paste"); // else typed key by key
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString date = "Invalid character in date", amount = "Invalid character in amount",
                  months = "Invalid character in duration", bar = "The character | cannot be used";
    QTest::newRow("letter in the date") << 2 << false << "2026a" << "2026" << date;
    QTest::newRow("blank in the date") << 2 << false << "2026 -3" << "2026-3" << date;
    QTest::newRow("backspace in the date") << 2 << false << "20x\b6" << "26" << date;
    QTest::newRow("letter in the amount") << 3 << false << "12a" << "12" << amount;
    QTest::newRow("comma in the amount") << 3 << false << "1,2" << "12" << amount;
    QTest::newRow("point in the months") << 4 << false << "1.5" << "15" << months;
    QTest::newRow("bar in the name") << 0 << false << "a|b" << "ab" << bar;
    QTest::newRow("bar in the type") << 1 << false << "|" << "" << bar;
    QTest::newRow("accents in the name") << 0 << false << "Caf\u00e9" << "Caf\u00e9" << "";
    QTest::newRow("letters pasted into the amount") << 3 << true << "12abc" << "" << amount;
    QTest::newRow("words pasted into the date") << 2 << true << "March 1" << "" << date;
    QTest::newRow("sign pasted into the months") << 4 << true << "+12" << "" << months;
    QTest::newRow("line end pasted into the months") << 4 << true << "12\n" << "" << months;
    QTest::newRow("bar pasted into the name") << 0 << true << "Car|Sub" << "" << bar;
    QTest::newRow("line break pasted into the name") << 0 << true << "Car\r\ninsurance"
                                                     << "Car  insurance" << "";
    QTest::newRow("tab pasted into the type") << 1 << true << "S\tb" << "S b" << "";
}

void TestForms::addFormTyping()
{
    QFETCH(int, box);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QVERIFY(f->open(""));
    AddRecordDialog add(f->state());
    QVERIFY(Show(add));
    QTest::mouseClick(Box(&add, box), Qt::LeftButton);
    QCOMPARE(add.focusWidget(), Box(&add, box));
    if (paste) {
        QApplication::clipboard()->setText(input);
        QTest::keyClick(Box(&add, box), Qt::Key_V, Qt::ControlModifier);
    } else {
        Type(Box(&add, box), input);
    }
    QCOMPARE(Box(&add, box)->text(), text);
    QCOMPARE(f->shown(), message.isEmpty() ? QStringList() : QStringList{message});
}

// A box that refuses its text keeps the focus, and a click meanwhile does nothing.
void TestForms::addFormLeaving()
{
    QVERIFY(f->open(""));
    AddRecordDialog add(f->state());
    QVERIFY(Show(add));
    Fill(&add, {"Rent", "Subs"});
    QCOMPARE(f->shown(), QStringList{"Type can have only three characters"});
    QCOMPARE(add.focusWidget(), Box(&add, 1));
    QCOMPARE(Box(&add, 1)->text(), QString());
    Type(Box(&add, 1), "\u00c9t\u00e9"); // three letters, six bytes
    QTest::keyClick(Box(&add, 1), Qt::Key_Tab);
    Type(Box(&add, 2), "2026-3");
    for (const char* target : {"cmdUseIt", "cmdCancel", "txtIn(4)"}) {
        Click(&add, target);
        QTest::keyClick(Box(&add, 2), Qt::Key_Backtab);
        QCOMPARE(add.focusWidget(), Box(&add, 2));
        QCOMPARE(f->shown(), (QStringList{"Invalid date", "Invalid date"}));
        Type(Box(&add, 2), "2026-3");
    }
    QVERIFY(add.isVisible());
    QCOMPARE(f->bytes(), QByteArray());
    // The amount the form wrote holds commas the keys may not type; a paste beside them
    // is checked for what it adds only.
    Type(Box(&add, 2), "-1");
    Click(&add, "txtIn(3)");
    Type(Box(&add, 3), "1234");
    QTest::keyClick(Box(&add, 3), Qt::Key_Tab);
    QCOMPARE(Box(&add, 3)->text(), QStringLiteral("1,234.00"));
    Click(&add, "txtIn(3)");
    QTest::keyClick(Box(&add, 3), Qt::Key_Home);
    QTest::keyClick(Box(&add, 3), Qt::Key_Right);
    for (const char* clip : {"5", "x"}) {
        QApplication::clipboard()->setText(clip);
        QTest::keyClick(Box(&add, 3), Qt::Key_V, Qt::ControlModifier);
    }
    QCOMPARE(Box(&add, 3)->text(), QStringLiteral("15,234.00"));
    QCOMPARE(f->shown(), QStringList{"Invalid character in amount"});
    QTest::keyClick(Box(&add, 3), Qt::Key_Tab);
    Type(Box(&add, 4), "1");
    QTest::keyClick(Box(&add, 4), Qt::Key_Return);
    QCOMPARE(f->bytes(), QByteArray("Rent|\xc3\x89t\xc3\xa9|2026-03-01|15,234.00|1\r\n"));
}

void TestForms::addFormNullEntries_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("empty");
    QTest::newRow("all empty") << QStringList{} << 0;
    QTest::newRow("name of blanks") << QStringList{"   ", "Sub", "2026-3-1", "5", "1"} << 0;
    QTest::newRow("no type") << QStringList{"Rent", "", "2026-3-1", "5", "1"} << 1;
    QTest::newRow("no amount") << QStringList{"Rent", "Sub", "2026-3-1", "", "1"} << 3;
    QTest::newRow("no months") << QStringList{"Rent", "Sub", "2026-3-1", "5", ""} << 4;
}

void TestForms::addFormNullEntries()
{
    QFETCH(QStringList, texts);
    QFETCH(int, empty);
    QVERIFY(f->open(""));
    AddRecordDialog add(f->state());
    QVERIFY(Show(add));
    Fill(&add, texts, Qt::Key_Tab);
    Click(&add, "cmdUseIt");
    QCOMPARE(f->shown(), QStringList{QStringLiteral("Entry %1 is null").arg(empty)});
    QCOMPARE(add.focusWidget(), Box(&add, empty));
    QCOMPARE(f->bytes(), QByteArray());
}

// Records follow one another in one showing; one added after the data file vanished
// behind Kestrow's back is kept in a new file, and a longer period raises the horizon.
void TestForms::addFormEntriesFollowOneAnother()
{
    QVERIFY(f->open(""));
    AddRecordDialog add(f->state());
    QVERIFY(Show(add));
    Fill(&add, {"  First  ", "S b", "2026-1-1", "1", "120"});
    QCOMPARE(f->bytes(), QByteArray("First|S b|2026-01-01|1.00|120\r\n"));
    for (int i = 0; i < 5; ++i)
        QVERIFY(Box(&add, i)->text().isEmpty());
    QCOMPARE(add.focusWidget(), Box(&add, 0));
    QCOMPARE(int(f->state().horizonMonths()), 120);
    QVERIFY(QFile::remove(f->dataPath));
    Fill(&add, {"Second", "B", "2026-2-2", "2", "240"});
    QCOMPARE(f->bytes(), QByteArray("Second|B|2026-02-02|2.00|240\r\n"));
    QCOMPARE(f->state().data().readLines().size(), std::size_t(1));
    QCOMPARE(int(f->state().horizonMonths()), 240);
    QCOMPARE(f->shown(), QStringList());
}

void TestForms::addFormFinished()
{
    QVERIFY(f->open(""));
    for (int how = 0; how < 4; ++how) {
        AddRecordDialog add(f->state());
        QVERIFY(Show(add));
        Fill(&add, {"Rent", "Sub", "2026-3-1", "5"});
        Type(Box(&add, 4), "12");
        if (how == 0)
            Click(&add, "cmdCancel");
        else if (how == 3)
            add.close();
        else
            QTest::keyClick(how == 1 ? add.focusWidget() : Find(&add, "cmdUseIt"), Qt::Key_Escape);
        QVERIFY(!add.isVisible());
        QCOMPARE(add.result(), int(QDialog::Rejected));
    }
    QCOMPARE(f->bytes(), QByteArray());
    QCOMPARE(f->shown(), QStringList());
}

// The form is one rewrite: the lines before the record wait in the scratch file until
// Accept writes the rest.
void TestForms::editFormAccept()
{
    QVERIFY(f->open(kThree));
    EditRecordDialog edit(f->state(), 2);
    QVERIFY(Show(edit));
    QCOMPARE(Box(&edit, 0)->text() + Box(&edit, 2)->text(), QStringLiteral("Rent2025-03-01"));
    QCOMPARE(tu::ReadFile(f->tempPath), QByteArray("Gas|Sub|2026-07-01|40.00|1\r\n"));
    QCOMPARE(f->bytes(), kThree);
    // Name and type as they stand (four letters are allowed here), the date moved on, and
    // the amount reformatted by Enter as by leaving its box.
    tu::Retype(&edit, "txtIn(0)", " Caf\u00e9 ");
    tu::Retype(&edit, "txtIn(1)", "Memb");
    tu::Retype(&edit, "txtIn(3)", "1234.5");
    QTest::keyClick(Box(&edit, 3), Qt::Key_Return);
    QVERIFY(!edit.isVisible());
    QCOMPARE(edit.result(), int(QDialog::Accepted));
    QCOMPARE(f->bytes(), QByteArray("Gas|Sub|2026-07-01|40.00|1\r\n Caf\xc3\xa9 |Memb|2026-06-01|"
                                    "1,234.50|1\r\nPhone|Sub|2026-06-20|30.00|1\r\n"));
    QVERIFY(!f->scratch());
    QCOMPARE(f->shown(), QStringList());
}

void TestForms::editFormCancel()
{
    const QByteArray contents = kThree.chopped(2); // a completed rewrite would add a line end
    QVERIFY(f->open(contents));
    for (int how = 0; how < 4; ++how) {
        EditRecordDialog edit(f->state(), 3);
        QVERIFY(Show(edit));
        tu::Retype(&edit, "txtIn(0)", "Flat");
        tu::Retype(&edit, "txtIn(2)", "2026/7/1");
        if (how == 0) {
            // Leaving the date box refuses the date but lets the focus go.
            QTest::keyClick(Box(&edit, 2), Qt::Key_Tab);
            QCOMPARE(f->shown(), QStringList{"Invalid date"});
            QCOMPARE(edit.focusWidget(), Box(&edit, 3));
            QCOMPARE(Box(&edit, 2)->text(), QString());
            Click(&edit, "cmdCancel");
        } else if (how == 1) {
            Click(&edit, "cmdCancel"); // what is thrown away is not checked
        } else if (how == 2) {
            QTest::keyClick(Box(&edit, 2), Qt::Key_Escape);
        } else {
            edit.close();
        }
        QVERIFY(!edit.isVisible());
        QCOMPARE(edit.result(), int(QDialog::Rejected));
        QCOMPARE(f->bytes(), contents);
        QVERIFY(!f->scratch());
        QCOMPARE(f->shown(), QStringList());
    }
    QVERIFY(f->state().data().beginRewrite().active()); // the rewrite has ended
}

// A save that fails leaves the file as it was and the form open for another try.
void TestForms::editFormFailedSave()
{
    QVERIFY(f->open(kThree));
    EditRecordDialog edit(f->state(), 1);
    QVERIFY(Show(edit));
    QVERIFY(QFile::remove(f->tempPath));
    Click(&edit, "cmdAccept");
    const QStringList shown = f->shown();
    QVERIFY(shown.size() == 1 && shown[0].contains(f->dataPath));
    QVERIFY(edit.isVisible());
    QCOMPARE(f->bytes(), kThree);
    Click(&edit, "cmdAccept");
    QVERIFY(!edit.isVisible());
    QCOMPARE(f->bytes(), "Gas|Sub|2026-06-01|40.00|1\r\n" + kThree.mid(28));
}

void TestForms::editFormWithoutRecord()
{
    QVERIFY(f->open(kThree));
    for (const int number : {4, 0, -1, 2147483647}) {
        tu::Answer answer; // the form must not come up
        EditRecordDialog edit(f->state(), number);
        QCOMPARE(edit.exec(), int(QDialog::Rejected));
        QCOMPARE(answer.seen, QStringList());
        QVERIFY(!f->scratch());
    }
    QCOMPARE(f->bytes(), kThree);
    QCOMPARE(f->shown(), QStringList());
}

void TestForms::introContinue_data()
{
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("Continue clicked") << false;
    QTest::newRow("Enter") << true;
}

void TestForms::introContinue()
{
    QFETCH(bool, byEnter);
    QVERIFY(f->open(""));
    IntroDialog intro(f->state());
    bool hidden = false;
    tu::Answer answer({[byEnter](QWidget* intro) {
                           if (byEnter)
                               QTest::keyClick(intro->focusWidget(), Qt::Key_Return);
                           else
                               Click(intro, "cmdContinue");
                       },
                       [&](QWidget* add) {
                           hidden = !intro.isVisible();
                           Fill(add, {"Rent", "Sub", "2026-7-1", "800", "1"});
                           QTest::keyClick(add->focusWidget(), Qt::Key_Escape);
                       }});
    QCOMPARE(intro.exec(), int(QDialog::Accepted));
    QCOMPARE(answer.seen, (QStringList{"frmIntro", "frmAdd"}));
    QCOMPARE(answer.unanswered, QStringList());
    QVERIFY(hidden);
    QCOMPARE(f->bytes(), QByteArray("Rent|Sub|2026-07-01|800.00|1\r\n"));
    QVERIFY(!platform::ProgramEnding());
}

void TestForms::introExit_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("byEsc");
    QTest::addColumn<bool>("yes"); // the answer to the question, when it is asked
    const QByteArray data("Rent|Sub|2026-07-01|800.00|1\r\n");
    QTest::newRow("empty file") << QByteArray() << false << false;
    QTest::newRow("empty file, Esc") << QByteArray() << true << false;
    QTest::newRow("data, No") << data << false << false;
    QTest::newRow("data, Yes") << data << false << true;
    QTest::newRow("data, Esc, No") << data << true << false;
    QTest::newRow("data, Esc, Yes") << data << true << true;
}

// Exit ends the program and removes the data file, after asking when it holds payments.
void TestForms::introExit()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, byEsc);
    QFETCH(bool, yes);
    QVERIFY(f->open(contents));
    platform::MessageTestHook::queueAnswer(yes);
    IntroDialog intro(f->state());
    QVERIFY(Show(intro));
    if (byEsc)
        QTest::keyClick(intro.focusWidget(), Qt::Key_Escape);
    else
        Click(&intro, "cmdQuit");
    QVERIFY(platform::ProgramEnding());
    QVERIFY(!intro.isVisible());
    QVERIFY(!f->state().hasData()); // the file was let go before it was removed
    const bool asked = !contents.isEmpty();
    QCOMPARE(f->shown(), asked ? QStringList{"Do you really want to clear the data?"} : QStringList());
    QCOMPARE(platform::MessageTestHook::takeTitles(),
             asked ? QStringList{"Data already exists!"} : QStringList());
    QCOMPARE(f->bytes(), asked && !yes ? contents : QByteArray("<missing>"));
}

// The whole introduction can be read, however the desktop's font runs, and the icon is drawn.
void TestForms::introTextsFit()
{
    QVERIFY(f->open(""));
    IntroDialog intro(f->state());
    for (const char* name : {"labA", "labB"}) {
        const auto* label = Find<QLabel>(&intro, name);
        const int wrap = label->wordWrap() ? Qt::TextWordWrap : 0;
        const QRect needed = label->fontMetrics().boundingRect(
            QRect(0, 0, label->width(), 100000), int(label->alignment()) | wrap, label->text());
        QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height() &&
                     label->text().size() > 50,
                 name);
    }
    const QImage icon = Find<QLabel>(&intro, "imgIcon")->pixmap().toImage();
    int drawn = 0;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            drawn += icon.pixelColor(x, y).alpha() > 0;
    QVERIFY(drawn > 0);
}

void TestForms::changeAmountPercentages_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("clicks"); // +n: "Add", -n: "Sub" on button n
    QTest::addColumn<QString>("result");
    QTest::newRow("200 sub 25%") << 200.0 << "-4" << "150.00";
    QTest::newRow("200 add 25%") << 200.0 << "+4" << "250.00";
    QTest::newRow("add 10% twice compounds") << 100.0 << "+1+1" << "121.00";
    QTest::newRow("add then sub 10% is not 100") << 100.0 << "+1-1" << "99.00";
    QTest::newRow("add 5% rounds to cents") << 10.01 << "+0" << "10.51";
    QTest::newRow("grouped thousands read back") << 1234.5 << "+3" << "1,481.40";
}

void TestForms::changeAmountPercentages()
{
    QFETCH(double, amount);
    QFETCH(QString, clicks);
    QFETCH(QString, result);
    ChangeAmountDialog dialog(3, amount);
    QVERIFY(Show(dialog));
    auto* box = Find<QCheckBox>(&dialog, "chkAddSub");
    for (qsizetype i = 0; i < clicks.size(); i += 2) {
        if (box->isChecked() != (clicks[i] == '-'))
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        const QString button = QStringLiteral("cmdIncrease(%1)").arg(clicks[i + 1]);
        QCOMPARE(Find<QPushButton>(&dialog, button)->text().left(4),
                 QString(clicks[i] == '-' ? "Sub " : "Add "));
        Click(&dialog, button);
    }
    QCOMPARE(Find<QLineEdit>(&dialog, "txtChange")->text(), result);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.amount(), amount); // only Change hands the new amount over
}

void TestForms::changeAmountWaysOut_data()
{
    QTest::addColumn<int>("months");
    QTest::addColumn<double>("given");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("typed"); // null: the box left as it stands
    QTest::addColumn<double>("amount");
    QTest::newRow("Change, untouched, rounded to cents") << 1 << 10.123 << "10.12" << "Change"
                                                         << QString() << 10.12;
    QTest::newRow("Change, typed") << 3 << 1234.5 << "1,234.50" << "Change" << "1300" << 1300.0;
    QTest::newRow("Change, grouping and blanks typed") << 3 << 0.5 << "0.50" << "Change"
                                                       << " 2,500.75 " << 2500.75;
    QTest::newRow("NoChange") << 12 << 1000.0 << "1,000.00" << "cmdNoChange" << "9" << 1000.0;
    QTest::newRow("Enter on NoChange") << 3 << 5.0 << "5.00" << "Enter" << "9" << 5.0;
    QTest::newRow("Esc") << 3 << 5.0 << "5.00" << "Esc" << "9" << 5.0;
    QTest::newRow("close box") << 3 << 5.0 << "5.00" << "close" << "9" << 5.0;
}

void TestForms::changeAmountWaysOut()
{
    QFETCH(int, months);
    QFETCH(double, given);
    QFETCH(QString, shown);
    QFETCH(QString, how);
    QFETCH(QString, typed);
    QFETCH(double, amount);
    ChangeAmountDialog dialog(months, given);
    QVERIFY(Show(dialog));
    const QString ending = months == 1 ? "due in 1 month, enter it here"
                                       : QStringLiteral("due in %1 months, enter it here").arg(months);
    QVERIFY(Find<QLabel>(&dialog, "labA")->text().endsWith(ending));
    auto* box = Find<QLineEdit>(&dialog, "txtChange");
    QCOMPARE(box->text(), shown);
    QCOMPARE(dialog.focusWidget(), Find(&dialog, "cmdChange"));
    if (!typed.isNull()) {
        tu::Retype(&dialog, "txtChange", typed);
        QTest::keyClick(box, Qt::Key_Return); // no default button: Enter here does nothing
        QVERIFY(dialog.isVisible());
    }
    if (how == "Change" || how == "cmdNoChange") {
        Click(&dialog, how == "Change" ? "cmdChange" : "cmdNoChange");
    } else if (how == "Enter") {
        QTest::keyClick(box, Qt::Key_Backtab);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    } else if (how == "Esc") {
        QTest::keyClick(box, Qt::Key_Escape);
    } else {
        dialog.close();
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(how == "Change" ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(dialog.amount(), amount);
    QCOMPARE(f->shown(), QStringList());
}

void TestForms::changeAmountNotANumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::newRow("empty, Change") << "" << "cmdChange";
    QTest::newRow("letters, Change") << "abc" << "cmdChange";
    QTest::newRow("two points, Change") << "1.2.3" << "cmdChange";
    QTest::newRow("empty, 5%") << "" << "cmdIncrease(0)";
    QTest::newRow("letters, 5%") << "ten" << "cmdIncrease(0)";
}

void TestForms::changeAmountNotANumber()
{
    QFETCH(QString, typed);
    QFETCH(QString, button);
    ChangeAmountDialog dialog(3, 42);
    QVERIFY(Show(dialog));
    tu::Retype(&dialog, "txtChange", typed);
    Click(&dialog, button);
    QCOMPARE(f->shown(), QStringList{"Invalid amount"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(Find<QLineEdit>(&dialog, "txtChange")->text(), typed);
    QCOMPARE(dialog.amount(), 42.0);
    tu::Retype(&dialog, "txtChange", "50"); // corrected, the same dialog goes on
    Click(&dialog, "cmdChange");
    QCOMPARE(dialog.amount(), 50.0);
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
