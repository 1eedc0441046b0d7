// The forms as a user drives them: one table of dates, amounts and periods through both
// record forms, which accept and refuse the same ones; the add form's checks per key, on
// leaving a box and on pasting; the edit form's Accept and Cancel against the data file's
// bytes; the introduction's Continue and Exit; the change-amount dialog.
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

namespace {

QLineEdit* Box(const QWidget* form, int i)
{
    return tu::Find<QLineEdit>(form, QStringLiteral("txtIn(%1)").arg(i));
}
// Types texts[i] into box i from the box with the focus on, leaving each with Tab (the
// fifth with `last`), and stops where a box keeps the focus.
void Fill(QWidget* form, const QStringList& texts, Qt::Key last = Qt::Key_Return)
{
    for (int i = 0, from = -1; i < texts.size(); ++i) {
        from = from < 0 && form->focusWidget() == Box(form, i) ? i : from;
        if (from >= 0 && form->focusWidget() != Box(form, i))
            return;
        if (from >= 0) {
            tu::Type(Box(form, i), texts[i]);
            QTest::keyClick(Box(form, i), i == 4 ? last : Qt::Key_Tab);
        }
    }
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;
    template <class Form, class... Args> std::unique_ptr<Form> show(Args&&... args)
    {
        auto form = std::make_unique<Form>(std::forward<Args>(args)...);
        form->show();
        if (!QTest::qWaitForWindowActive(form.get()))
            qFatal("a form did not come up");
        return form;
    }

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

    // A record "Rent|Sub|date|amount|months": what the add form appends to an empty file,
    // and what the edit form writes in place of another (the date moved on to its next
    // occurrence); the two texts apart by ";". Refused records leave the file, and the edit
    // form open with its rewrite, for the user to correct.
    void bothForms_data()
    {
        QTest::addColumn<QString>("stored");
        const auto row = [](const char* typed, const char* stored) {
            QTest::newRow(typed) << QString(stored);
        };
        row("2026-7-1 1234.5 12", "2026-07-01|1,234.50|12;2026-07-01|1,234.50|12");
        row("0999-3-1 .5 12", "0999-03-01|.50|12;2026-03-01|.50|12");
        row("2026-3-31 0 1", "2026-03-31|.00|1;2026-06-30|.00|1");
        row("2026-7-1 007 32767", "2026-07-01|7.00|32767;2026-07-01|7.00|32767");
        for (const char* typed :
             {"999-3-1 5 12", "12026-3-1 5 12", "2026-13-1 5 12", "2026-3-0 5 12", "2026-3-32 5 12",
              "2026-3-99999 5 12", "2026-3 5 12", "2026--1 5 12", "2026-7-1 1.2.3 12",
              "2026-7-1 . 12", "2026-7-1 5 0", "2026-7-1 5 32768", "2026-7-1 5 999999999999",
              "0001-3-1 5 32767"})
            row(typed, "");
    }
    void bothForms()
    {
        QFETCH(QString, stored);
        const QStringList texts =
            QStringList{"Rent", "Sub"} + QString(QTest::currentDataTag()).split(' ');
        QVERIFY(f->open(""));
        Fill(show<AddRecordDialog>(*f->app).get(), texts);
        const QString old = "Old|Mem|2026-01-01|5.00|1\r\n";
        QCOMPARE(f->bytes(), stored.isEmpty()
                                 ? QByteArray()
                                 : "Rent|Sub|" + stored.section(';', 0, 0).toUtf8() + "\r\n");
        QVERIFY(f->open(old.toUtf8()));
        const auto edit = show<EditRecordDialog>(*f->app, 1);
        for (int i = 0; i < 5; ++i)
            tu::Retype(edit.get(), QStringLiteral("txtIn(%1)").arg(i), texts[i]);
        Click(edit.get(), "cmdAccept");
        QCOMPARE(QString(f->bytes()),
                 stored.isEmpty() ? old : "Rent|Sub|" + stored.section(';', 1) + "\r\n");
        QVERIFY(edit->isVisible() == stored.isEmpty() && f->scratch() == stored.isEmpty());
    }

    // What a box holds after typing or pasting into it, then the message shown ("_" stands
    // for a blank the form put there).
    void addFormKeys_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("result");
        const auto row = [](const char* name, const char* input, const char* result) {
            QTest::newRow(name) << QString(input) << QString(result);
        };
        row("2: letter in the date", "2026a", "2026 Invalid character in date");
        row("2: backspace in the date", "20 \b6", "26 Invalid character in date");
        row("3: comma in the amount", "1,2", "12 Invalid character in amount");
        row("4: point in the months", "1.5", "15 Invalid character in duration");
        row("0: bar in the name", "a|b", "ab The character | cannot be used");
        row("1: accents in the type", "\u00e9t\u00e9", "\u00e9t\u00e9");
        row("3: letters pasted into the amount", "12abc", " Invalid character in amount");
        row("0: bar pasted into the name", "Car|Sub", " The character | cannot be used");
        row("0: line break pasted into the name", "Car\r\ninsurance", "Car__insurance");
        row("1: tab pasted into the type", "S\tb", "S_b");
    }
    void addFormKeys()
    {
        QFETCH(QString, input);
        QFETCH(QString, result);
        QVERIFY(f->open(""));
        const auto add = show<AddRecordDialog>(*f->app);
        QLineEdit* box = Box(add.get(), QTest::currentDataTag()[0] - '0');
        QTest::mouseClick(box, Qt::LeftButton);
        QApplication::clipboard()->setText(input);
        if (QByteArray(QTest::currentDataTag()).contains("pasted"))
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        else
            tu::Type(box, input);
        QCOMPARE(QString(box->text() + " " + f->shown().join(' ')).trimmed(),
                 result.replace('_', ' ').trimmed());
    }

    // Records follow one another, blanks around a name dropped; one added after the data
    // file vanished behind Kestrow's back is kept in a new file, and a longer period raises
    // the horizon. Type is three characters, not bytes. A box that refuses its text keeps
    // the focus, and a click meanwhile does nothing; Finished, Esc and the close box write
    // nothing more.
    void addForm()
    {
        QVERIFY(f->open(""));
        for (int how = 0; how < 3; ++how) {
            const auto add = show<AddRecordDialog>(*f->app);
            Fill(add.get(), {"  First  ", "S b", "2026-1-1", "1", "120"});
            QVERIFY(f->bytes().endsWith("First|S b|2026-01-01|1.00|120\r\n") &&
                    QFile::remove(f->dataPath));
            Fill(add.get(), {"Second", "\u00c9t\u00e9", "2026-2-2", "2", "240"});
            Fill(add.get(), {"Rent", "Subs"});
            Fill(add.get(), {"", "Sub", "2026-3", "", "12"});
            for (const char* target : {"cmdUseIt", "cmdCancel", "txtIn(4)"})
                Click(add.get(), target);
            QTest::keyClick(Box(add.get(), 2), Qt::Key_Backtab);
            QCOMPARE(f->shown().join("/"),
                     "Type can have only three characters" + QString("/Invalid date").repeated(5));
            tu::Retype(add.get(), "txtIn(2)", "2026-3-1");
            Fill(add.get(), {"", "", "", "", "12"});
            QVERIFY(f->shown() == QStringList{"Entry 3 is null"} &&
                    add->focusWidget() == Box(add.get(), 3));
            if (how == 0)
                Click(add.get(), "cmdCancel");
            else if (how == 1)
                QTest::keyClick(tu::Find(add.get(), "cmdUseIt"), Qt::Key_Escape);
            else
                add->close();
            QVERIFY(!add->isVisible() && add->result() == QDialog::Rejected);
        }
        QCOMPARE(f->bytes(), QByteArray("Second|\xc3\x89t\xc3\xa9|2026-02-02|2.00|240\r\n"));
        QVERIFY(f->app->data().readLines().size() == 1 && f->app->horizonMonths() == 240);
    }

    // The form is one rewrite: the lines before the record wait in the scratch file until
    // Accept writes the rest. Name and type are stored as they stand (four letters are
    // allowed here), the date moved on, the amount reformatted by Enter as by leaving it.
    // Cancel, Esc and the close box leave the file byte for byte, even after a refused
    // date. A save that fails leaves file and form for another try; a record that is not
    // there opens no form.
    void editForm()
    {
        const QByteArray three =
            "Gas|Sub|2026-07-01|40.00|1\r\nRent|Sub|2025-03-01|500|1\r\nTax|S|d|3|1";
        QVERIFY(f->open(three));
        for (int how = 0; how < 3; ++how) { // Cancel after a refused date, Esc, the close box
            const auto edit = show<EditRecordDialog>(*f->app, 3);
            tu::Retype(edit.get(), "txtIn(2)", "2026/7/1");
            if (how == 0) {
                QTest::keyClick(Box(edit.get(), 2), Qt::Key_Tab);
                Click(edit.get(), "cmdCancel");
            }
            how == 1 ? QTest::keyClick(Box(edit.get(), 2), Qt::Key_Escape)
                     : void(how == 2 && edit->close());
            QVERIFY(!edit->isVisible() && !f->scratch() && f->bytes() == three);
            QCOMPARE(f->shown(), how ? QStringList() : QStringList{"Invalid date"});
        }
        const auto edit = show<EditRecordDialog>(*f->app, 2);
        QCOMPARE(Box(edit.get(), 0)->text() + Box(edit.get(), 2)->text(),
                 QStringLiteral("Rent2025-03-01"));
        QCOMPARE(tu::ReadFile(f->tempPath) + f->bytes(), three.left(28) + three);
        tu::Retype(edit.get(), "txtIn(0)", " Caf\u00e9 ");
        tu::Retype(edit.get(), "txtIn(1)", "Memb");
        tu::Retype(edit.get(), "txtIn(3)", "1234.5");
        QVERIFY(QFile::remove(f->tempPath));
        QTest::keyClick(Box(edit.get(), 3), Qt::Key_Return);
        QVERIFY(edit->isVisible() && f->bytes() == three &&
                f->shown().join(' ').contains(f->dataPath));
        QTest::keyClick(Box(edit.get(), 3), Qt::Key_Return);
        QVERIFY(!edit->isVisible() && edit->result() == QDialog::Accepted && !f->scratch());
        QCOMPARE(f->bytes(),
                 three.left(28) + " Caf\xc3\xa9 |Memb|2026-06-01|1,234.50|1\r\nTax|S|d|3|1\r\n");
        for (const int number : {4, 0}) {
            tu::Answer none;
            QVERIFY(EditRecordDialog(*f->app, number).exec() == QDialog::Rejected &&
                    none.seen.isEmpty());
        }
        QVERIFY(f->shown().isEmpty() && !f->scratch());
    }

    // Continue leads to the add form; once a payment is added the introduction is done.
    void introContinue()
    {
        QVERIFY(f->open(""));
        IntroDialog intro(*f->app);
        tu::Answer answer(
            {[](QWidget* intro) { QTest::keyClick(intro->focusWidget(), Qt::Key_Return); },
             [&](QWidget* add) {
                 QVERIFY(!intro.isVisible());
                 Fill(add, {"Rent", "Sub", "2026-7-1", "800", "1"});
                 QTest::keyClick(add->focusWidget(), Qt::Key_Escape);
             }});
        QCOMPARE(intro.exec(), int(QDialog::Accepted));
        QCOMPARE(answer.seen, (QStringList{"frmIntro", "frmAdd"}));
        QVERIFY(f->bytes() == "Rent|Sub|2026-07-01|800.00|1\r\n" && !platform::ProgramEnding());
    }

    void introExit_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("yes"); // the answer to the question, when it is asked
        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("data, No") << QByteArray("Rent|Sub|2026-07-01|800.00|1\r\n") << false;
        QTest::newRow("data, Esc, Yes") << QByteArray("Rent|Sub|2026-07-01|800.00|1\r\n") << true;
    }
    // Exit (or Esc) ends the program and removes the data file, after asking when it holds
    // payments; the file is let go before it is removed.
    void introExit()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, yes);
        QVERIFY(f->open(contents));
        platform::MessageTestHook::queueAnswer(yes);
        const auto intro = show<IntroDialog>(*f->app);
        if (yes)
            QTest::keyClick(intro->focusWidget(), Qt::Key_Escape);
        else
            Click(intro.get(), "cmdQuit");
        QVERIFY(platform::ProgramEnding() && !intro->isVisible() && !f->app->hasData());
        const QStringList question{"Do you really want to clear the data?", "Data already exists!"};
        QCOMPARE(f->shown() + platform::MessageTestHook::takeTitles(),
                 contents.isEmpty() ? QStringList() : question);
        QCOMPARE(f->bytes(), contents.isEmpty() || yes ? QByteArray("<missing>") : contents);
    }

    // The whole introduction can be read, however the desktop's font runs; the icon is drawn.
    void introTextsFit()
    {
        IntroDialog intro(*f->app);
        for (const char* name : {"labA", "labB"}) {
            const auto* label = tu::Find<QLabel>(&intro, name);
            const int wrap = label->wordWrap() ? Qt::TextWordWrap : 0;
            const QRect needed = label->fontMetrics().boundingRect(
                QRect(0, 0, label->width(), 100000), int(label->alignment()) | wrap, label->text());
            QVERIFY2(label->rect().contains(needed) && label->text().size() > 50, name);
        }
        const QImage icon = tu::Find<QLabel>(&intro, "imgIcon")->pixmap().toImage();
        QVERIFY(icon.pixelColor(icon.rect().center()).alpha() > 0);
    }

    void changeAmount_data()
    {
        QTest::addColumn<int>("months");
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("result"); // the box and any message -> how it closed
        // Steps: +n and -n press Add and Sub on button n; =text types over the amount ("_"
        // for a blank); change, nochange, tab, backtab, enter, esc and close.
        const auto row = [](const char* steps, int months, double amount, const char* result) {
            QTest::newRow(steps) << months << amount << QString(result);
        };
        row("enter", 1, 1000, "1,000.00 -> accepted 1000"); // Change has the focus
        row("-4 nochange", 3, 200, "150.00 -> rejected 200");
        row("+1 +1 change", 3, 100, "121.00 -> accepted 121"); // each click starts from the box
        row("+1 -1 esc", 3, 100, "99.00 -> rejected 100");
        row("+0 close", 3, 10.01, "10.51 -> rejected 10.01");
        row("+3 change", 3, 1234.5, "1,481.40 -> accepted 1481.4");
        row("=_2,500.75_ change", 3, 1000, "2,500.75 -> accepted 2500.75");
        row("=7 enter", 3, 1000, "7 -> open"); // no default button for Enter in the box
        row("=7 backtab enter", 3, 1000, "7 -> rejected 1000");
        row("=ten +0", 3, 42, "ten Invalid amount -> open");
        row("=1.2.3 change", 3, 42, "1.2.3 Invalid amount -> open");
    }
    void changeAmount()
    {
        QFETCH(int, months);
        QFETCH(double, amount);
        QFETCH(QString, result);
        const auto dialog = show<ChangeAmountDialog>(months, amount);
        QVERIFY(tu::Find<QLabel>(dialog.get(), "labA")
                    ->text()
                    .endsWith(months == 1 ? "in 1 month, enter it here"
                                          : "in 3 months, enter it here"));
        auto* box = tu::Find<QCheckBox>(dialog.get(), "chkAddSub");
        const QMap<QString, Qt::Key> keys{{"tab", Qt::Key_Tab},
                                          {"backtab", Qt::Key_Backtab},
                                          {"enter", Qt::Key_Return},
                                          {"esc", Qt::Key_Escape}};
        for (const QString& step : QString(QTest::currentDataTag()).split(' ')) {
            if (keys.contains(step))
                QTest::keyClick(dialog->focusWidget(), keys[step]);
            else if (step == "close")
                dialog->close();
            else if (step == "change" || step == "nochange")
                Click(dialog.get(), step == "change" ? "cmdChange" : "cmdNoChange");
            else if (step[0] == '=')
                tu::Retype(dialog.get(), "txtChange", step.mid(1).replace('_', ' '));
            else {
                if (box->isChecked() != (step[0] == '-'))
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
                const QString button = "cmdIncrease(" + step.mid(1) + ")";
                QCOMPARE(tu::Find<QPushButton>(dialog.get(), button)->text().left(3),
                         QString(step[0] == '-' ? "Sub" : "Add"));
                Click(dialog.get(), button);
            }
        }
        const QString closed = dialog->isVisible()
                                   ? "open"
                                   : QStringLiteral("%1 %2")
                                         .arg(dialog->result() ? "accepted" : "rejected")
                                         .arg(dialog->amount());
        const QStringList got =
            QStringList{tu::Find<QLineEdit>(dialog.get(), "txtChange")->text()} + f->shown();
        QCOMPARE((got + QStringList{"->", closed}).join(' ').simplified(), result);
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
