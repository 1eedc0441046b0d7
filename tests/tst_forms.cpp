// The forms as a user drives them: one table of dates, amounts and periods through both
// record forms, which must accept and refuse the same ones; the add form's per-key checks,
// pastes and checks on leaving a box; the edit form's Accept and Cancel against the data
// file's bytes; the introduction's Continue and Exit; the change-amount dialog.
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

namespace {

QLineEdit* Box(const QWidget* form, int i)
{
    return Find<QLineEdit>(form, QStringLiteral("txtIn(%1)").arg(i));
}
// Types texts[i] into box i from the box with the focus on, leaving each with Tab (the
// fifth with `last`), and stops where a box keeps the focus.
void Fill(QWidget* form, const QStringList& texts, Qt::Key last = Qt::Key_Return)
{
    bool started = false;
    for (int i = 0; i < texts.size(); ++i) {
        if (form->focusWidget() != Box(form, i) && (started || i == 4))
            return;
        if ((started = started || form->focusWidget() == Box(form, i))) {
            tu::Type(Box(form, i), texts[i]);
            QTest::keyClick(Box(form, i), i == 4 ? last : Qt::Key_Tab);
        }
    }
}

const QByteArray kThree =
    "Gas|Sub|2026-07-01|40.00|1\r\nRent|Sub|2025-03-01|500.00|1\r\nTax|S|d|3|1\r\n";

} // namespace

class TestForms : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;
    template <class Form, class... Args> std::unique_ptr<Form> show(Args... args)
    {
        auto form = std::make_unique<Form>(args...);
        form->show();
        if (!QTest::qWaitForWindowActive(form.get()))
            qFatal("%s did not come up", Form::staticMetaObject.className());
        return form;
    }

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

    void bothFormsAccept_data()
    {
        QTest::addColumn<QString>("typed");  // date, amount, months
        QTest::addColumn<QString>("stored"); // what the add form, then the edit form, writes
        // The edit form writes the date moved on to its next occurrence.
        QTest::newRow("a date this year") << "2026-7-1 1234.5 12"
                                          << "2026-07-01|1,234.50|12 2026-07-01|1,234.50|12";
        QTest::newRow("a year with a leading zero") << "0999-3-1 .5 12"
                                                    << "0999-03-01|.50|12 2026-03-01|.50|12";
        QTest::newRow("a day cut to a short month") << "2026-3-31 0 1"
                                                    << "2026-03-31|.00|1 2026-06-30|.00|1";
        QTest::newRow("the longest period") << "2026-7-1 007 32767"
                                            << "2026-07-01|7.00|32767 2026-07-01|7.00|32767";
    }
    // Rent|Sub|... added to an empty file by the add form, and put by the edit form in place
    // of a record.
    void bothFormsAccept()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const QStringList texts = QStringList{"Rent", "Sub"} + typed.split(' ');
        QVERIFY(f->open(""));
        Fill(show<AddRecordDialog>(std::ref((*f->app))).get(), texts);
        const QString old = "Old|Mem|2026-01-01|5.00|1";
        QCOMPARE(f->bytes(), stored.isEmpty()
                                 ? QByteArray()
                                 : "Rent|Sub|" + stored.section(' ', 0, 0).toUtf8() + "\r\n");
        QVERIFY(f->open(old.toUtf8() + "\r\n"));
        const auto edit = show<EditRecordDialog>(std::ref((*f->app)), 1);
        for (int i = 0; i < 5; ++i)
            tu::Retype(edit.get(), QStringLiteral("txtIn(%1)").arg(i), texts[i]);
        Click(edit.get(), "cmdAccept");
        QCOMPARE(QString(f->bytes()),
                 (stored.isEmpty() ? old : "Rent|Sub|" + stored.section(' ', 1)) + "\r\n");
        // A refused record leaves the form open with its rewrite, for the user to correct.
        QVERIFY(edit->isVisible() == stored.isEmpty() && f->scratch() == stored.isEmpty());
    }
    void bothFormsRefuse_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        for (const char* typed :
             {"999-3-1 5 12", "12026-3-1 5 12", "2026-13-1 5 12", "2026-3-0 5 12", "2026-3-32 5 12",
              "2026-3-99999 5 12", "2026-3 5 12", "2026--1 5 12", "2026-7-1 1.2.3 12",
              "2026-7-1 . 12", "2026-7-1 5 0", "2026-7-1 5 32768", "2026-7-1 5 999999999999",
              "0001-3-1 5 32767"})
            QTest::newRow(typed) << QString(typed) << QString();
    }
    void bothFormsRefuse() { bothFormsAccept(); }

    void addFormTyping_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<bool>("paste"); // else typed key by key
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text"); // the box's text, then the message if there is one
        QTest::newRow("letter in the date") << 2 << false << "2026a"
                                            << "2026 Invalid character in date";
        QTest::newRow("blank in the date") << 2 << false << "2026 -3"
                                           << "2026-3 Invalid character in date";
        QTest::newRow("backspace in the date") << 2 << false << "20x\b6"
                                               << "26 Invalid character in date";
        QTest::newRow("comma in the amount") << 3 << false << "1,2"
                                             << "12 Invalid character in amount";
        QTest::newRow("point in the months") << 4 << false << "1.5"
                                             << "15 Invalid character in duration";
        QTest::newRow("bar in the name") << 0 << false << "a|b"
                                         << "ab The character | cannot be used";
        QTest::newRow("bar in the type") << 1 << false << "|"
                                         << " The character | cannot be used";
        QTest::newRow("accents in the name") << 0 << false << "Caf\u00e9"
                                             << "Caf\u00e9";
        QTest::newRow("letters pasted into the amount") << 3 << true << "12abc"
                                                        << " Invalid character in amount";
        QTest::newRow("sign pasted into the months") << 4 << true << "+12"
                                                     << " Invalid character in duration";
        QTest::newRow("line end pasted into the months") << 4 << true << "12\n"
                                                         << " Invalid character in duration";
        QTest::newRow("bar pasted into the name") << 0 << true << "Car|Sub"
                                                  << " The character | cannot be used";
        QTest::newRow("line break pasted into the name") << 0 << true << "Car\r\ninsurance"
                                                         << "Car__insurance";
        QTest::newRow("tab pasted into the type") << 1 << true << "S\tb"
                                                  << "S_b";
    }
    void addFormTyping()
    {
        QFETCH(int, box);
        QFETCH(bool, paste);
        QFETCH(QString, input);
        QFETCH(QString, text);
        QVERIFY(f->open(""));
        const auto add = show<AddRecordDialog>(std::ref((*f->app)));
        QTest::mouseClick(Box(add.get(), box), Qt::LeftButton);
        QApplication::clipboard()->setText(input);
        if (paste)
            QTest::keyClick(Box(add.get(), box), Qt::Key_V, Qt::ControlModifier);
        else
            tu::Type(Box(add.get(), box), input);
        const QStringList shown = f->shown();
        QCOMPARE(QString(Box(add.get(), box)->text() + " " + shown.join(' ')).trimmed(),
                 QString(text).replace('_', ' ').trimmed());
    }

    // A box that refuses its text keeps the focus, and a click meanwhile does nothing.
    void addFormLeaving()
    {
        QVERIFY(f->open(""));
        const auto add = show<AddRecordDialog>(std::ref((*f->app)));
        Fill(add.get(), {"Rent", "Subs"});
        QCOMPARE(f->shown(), QStringList{"Type can have only three characters"});
        QVERIFY(add->focusWidget() == Box(add.get(), 1) && Box(add.get(), 1)->text().isEmpty());
        Fill(add.get(), {"", "\u00c9t\u00e9"}); // three letters, six bytes
        tu::Type(Box(add.get(), 2), "2026-3");
        for (const char* target : {"cmdUseIt", "cmdCancel", "txtIn(4)"}) {
            Click(add.get(), target);
            QTest::keyClick(Box(add.get(), 2), Qt::Key_Backtab);
            QVERIFY(add->focusWidget() == Box(add.get(), 2) && f->shown().size() == 2);
            tu::Type(Box(add.get(), 2), "2026-3");
        }
        QVERIFY(add->isVisible() && f->bytes().isEmpty());
        // The amount the form wrote holds commas the keys may not type; a paste beside them
        // is checked for what it adds only.
        tu::Type(Box(add.get(), 2), "-1");
        Click(add.get(), "txtIn(3)");
        Fill(add.get(), {"", "", "", "1234"});
        QCOMPARE(Box(add.get(), 3)->text(), QStringLiteral("1,234.00"));
        Click(add.get(), "txtIn(3)");
        QTest::keyClick(Box(add.get(), 3), Qt::Key_Home);
        QTest::keyClick(Box(add.get(), 3), Qt::Key_Right);
        for (const char* clip : {"5", "x"}) {
            QApplication::clipboard()->setText(clip);
            QTest::keyClick(Box(add.get(), 3), Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(f->shown(), QStringList{"Invalid character in amount"});
        Fill(add.get(), {"", "", "", "", "1"});
        QCOMPARE(f->bytes(), QByteArray("Rent|\xc3\x89t\xc3\xa9|2026-03-01|15,234.00|1\r\n"));
    }

    void addFormNullEntries()
    {
        QVERIFY(f->open(""));
        for (const int empty : {0, 1, 3, 4}) {
            const auto add = show<AddRecordDialog>(std::ref((*f->app)));
            QStringList texts{"Rent", "Sub", "2026-3-1", "5", "1"};
            texts[empty] = empty ? "" : "   ";
            Fill(add.get(), texts, Qt::Key_Tab);
            Click(add.get(), "cmdUseIt");
            QCOMPARE(f->shown(), QStringList{QStringLiteral("Entry %1 is null").arg(empty)});
            QVERIFY(add->focusWidget() == Box(add.get(), empty) && f->bytes().isEmpty());
        }
    }

    // Records follow one another; one added after the data file vanished behind Kestrow's
    // back is kept in a new file; a longer period raises the horizon; Finished, Esc and
    // the close box write nothing.
    void addFormEntries()
    {
        QVERIFY(f->open(""));
        for (int how = 0; how < 3; ++how) {
            const auto add = show<AddRecordDialog>(std::ref((*f->app)));
            Fill(add.get(), {"  First  ", "S b", "2026-1-1", "1", "120"});
            QVERIFY(f->bytes().endsWith("First|S b|2026-01-01|1.00|120\r\n"));
            QVERIFY(Box(add.get(), 0)->text().isEmpty() && add->focusWidget() == Box(add.get(), 0));
            QVERIFY(QFile::remove(f->dataPath));
            Fill(add.get(), {"Second", "B", "2026-2-2", "2", "240"});
            Fill(add.get(), {"Rent", "Sub", "2026-3-1", "5"});
            if (how == 0)
                Click(add.get(), "cmdCancel");
            else if (how == 1)
                QTest::keyClick(Find(add.get(), "cmdUseIt"), Qt::Key_Escape);
            else
                add->close();
            QVERIFY(!add->isVisible() && add->result() == QDialog::Rejected);
        }
        QCOMPARE(f->bytes(), QByteArray("Second|B|2026-02-02|2.00|240\r\n"));
        QCOMPARE(f->app->data().readLines().size(), std::size_t(1));
        QCOMPARE(int(f->app->horizonMonths()), 240);
        QCOMPARE(f->shown(), QStringList());
    }

    // The form is one rewrite: the lines before the record wait in the scratch file until
    // Accept writes the rest. Name and type are stored as they stand (four letters are
    // allowed here), the date moved on, the amount reformatted by Enter as by leaving it.
    void editFormAccept()
    {
        QVERIFY(f->open(kThree));
        const auto edit = show<EditRecordDialog>(std::ref((*f->app)), 2);
        QCOMPARE(Box(edit.get(), 0)->text() + Box(edit.get(), 2)->text(),
                 QStringLiteral("Rent2025-03-01"));
        QCOMPARE(tu::ReadFile(f->tempPath) + f->bytes(), kThree.left(28) + kThree);
        tu::Retype(edit.get(), "txtIn(0)", " Caf\u00e9 ");
        tu::Retype(edit.get(), "txtIn(1)", "Memb");
        tu::Retype(edit.get(), "txtIn(3)", "1234.5");
        QTest::keyClick(Box(edit.get(), 3), Qt::Key_Return);
        QVERIFY(!edit->isVisible() && edit->result() == QDialog::Accepted && !f->scratch());
        QCOMPARE(f->bytes(),
                 kThree.left(28) + " Caf\xc3\xa9 |Memb|2026-06-01|1,234.50|1\r\n" + kThree.mid(58));
        QCOMPARE(f->shown(), QStringList());
    }

    // Cancel, Esc and the close box leave the file byte for byte; leaving the date box
    // refuses a date but lets the focus go, and what is thrown away is not checked.
    void editFormCancel()
    {
        const QByteArray contents = kThree.chopped(2); // a finished rewrite would add a line end
        QVERIFY(f->open(contents));
        for (int how = 0; how < 4; ++how) {
            const auto edit = show<EditRecordDialog>(std::ref((*f->app)), 3);
            tu::Retype(edit.get(), "txtIn(0)", "Flat");
            tu::Retype(edit.get(), "txtIn(2)", "2026/7/1");
            if (how == 0) {
                QTest::keyClick(Box(edit.get(), 2), Qt::Key_Tab);
                QCOMPARE(f->shown(), QStringList{"Invalid date"});
                QVERIFY(edit->focusWidget() == Box(edit.get(), 3) &&
                        Box(edit.get(), 2)->text().isEmpty());
            }
            if (how < 2)
                Click(edit.get(), "cmdCancel");
            else if (how == 2)
                QTest::keyClick(Box(edit.get(), 2), Qt::Key_Escape);
            else
                edit->close();
            QVERIFY(!edit->isVisible() && edit->result() == QDialog::Rejected && !f->scratch());
            QCOMPARE(f->bytes(), contents);
            QCOMPARE(f->shown(), QStringList());
        }
        QVERIFY(f->app->data().beginRewrite().active()); // the rewrite has ended
    }

    // A save that fails leaves the file and the form for another try; a record that is not
    // there opens no form.
    void editFormFailures()
    {
        QVERIFY(f->open(kThree));
        {
            const auto edit = show<EditRecordDialog>(std::ref((*f->app)), 1);
            QVERIFY(QFile::remove(f->tempPath));
            Click(edit.get(), "cmdAccept");
            QVERIFY(edit->isVisible() && f->bytes() == kThree &&
                    f->shown().join(' ').contains(f->dataPath));
            Click(edit.get(), "cmdAccept");
            QCOMPARE(f->bytes(), "Gas|Sub|2026-06-01|40.00|1\r\n" + kThree.mid(28));
        }
        for (const int number : {4, 0, -1, 2147483647}) {
            tu::Answer none;
            QCOMPARE(EditRecordDialog((*f->app), number).exec(), int(QDialog::Rejected));
            QVERIFY(none.seen.isEmpty() && !f->scratch());
        }
        QCOMPARE(f->shown(), QStringList());
    }

    void introContinue()
    {
        QVERIFY(f->open(""));
        for (const bool byEnter : {false, true}) {
            IntroDialog intro((*f->app));
            tu::Answer answer({[byEnter](QWidget* intro) {
                                   byEnter ? QTest::keyClick(intro->focusWidget(), Qt::Key_Return)
                                           : Click(intro, "cmdContinue");
                               },
                               [&](QWidget* add) {
                                   QVERIFY(!intro.isVisible());
                                   Fill(add, {"Rent", "Sub", "2026-7-1", "800", "1"});
                                   QTest::keyClick(add->focusWidget(), Qt::Key_Escape);
                               }});
            QCOMPARE(intro.exec(), int(QDialog::Accepted));
            QCOMPARE(answer.seen + answer.unanswered, (QStringList{"frmIntro", "frmAdd"}));
        }
        QCOMPARE(f->bytes(), QByteArray("Rent|Sub|2026-07-01|800.00|1\r\n").repeated(2));
        QVERIFY(!platform::ProgramEnding());
    }

    void introExit_data()
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
    void introExit()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, byEsc);
        QFETCH(bool, yes);
        QVERIFY(f->open(contents));
        platform::MessageTestHook::queueAnswer(yes);
        const auto intro = show<IntroDialog>(std::ref((*f->app)));
        byEsc ? QTest::keyClick(intro->focusWidget(), Qt::Key_Escape)
              : Click(intro.get(), "cmdQuit");
        QVERIFY(platform::ProgramEnding() && !intro->isVisible());
        QVERIFY(!f->app->hasData()); // the file was let go before it was removed
        const bool asked = !contents.isEmpty();
        const QStringList question{"Do you really want to clear the data?", "Data already exists!"};
        QCOMPARE(f->shown() + platform::MessageTestHook::takeTitles(),
                 asked ? question : QStringList());
        QCOMPARE(f->bytes(), asked && !yes ? contents : QByteArray("<missing>"));
    }

    // The whole introduction can be read, however the desktop's font runs; the icon is drawn.
    void introTextsFit()
    {
        IntroDialog intro((*f->app));
        for (const char* name : {"labA", "labB"}) {
            const auto* label = Find<QLabel>(&intro, name);
            const QRect needed = label->fontMetrics().boundingRect(
                QRect(0, 0, label->width(), 100000),
                int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0),
                label->text());
            QVERIFY2(label->rect().contains(needed) && label->text().size() > 50, name);
        }
        const QImage icon = Find<QLabel>(&intro, "imgIcon")->pixmap().toImage();
        QVERIFY(icon.pixelColor(icon.rect().center()).alpha() > 0);
    }

    void changeAmount_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("steps");  // +n, -n: Add, Sub on button n; =text: typed over
        QTest::addColumn<QString>("result"); // the box, then the messages
        QTest::newRow("sub 25%") << 200.0 << "-4"
                                 << "150.00";
        QTest::newRow("add 25%") << 200.0 << "+4"
                                 << "250.00";
        QTest::newRow("add 10% twice compounds") << 100.0 << "+1 +1"
                                                 << "121.00";
        QTest::newRow("add then sub 10% is not 100") << 100.0 << "+1 -1"
                                                     << "99.00";
        QTest::newRow("add 5% rounds to cents") << 10.01 << "+0"
                                                << "10.51";
        QTest::newRow("grouped thousands read back") << 1234.5 << "+3"
                                                     << "1,481.40";
        QTest::newRow("letters") << 42.0 << "=ten +0"
                                 << "ten Invalid amount";
        QTest::newRow("empty") << 42.0 << "= +0"
                               << " Invalid amount";
    }
    // The percentage buttons start from the box as it stands; only Change hands it over.
    void changeAmount()
    {
        QFETCH(double, amount);
        QFETCH(QString, steps);
        QFETCH(QString, result);
        const auto dialog = show<ChangeAmountDialog>(3, amount);
        auto* box = Find<QCheckBox>(dialog.get(), "chkAddSub");
        for (const QString& step : steps.split(' ')) {
            if (step[0] == '=') {
                tu::Retype(dialog.get(), "txtChange", step.mid(1));
                continue;
            }
            if (box->isChecked() != (step[0] == '-'))
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
            const QString button = "cmdIncrease(" + step.mid(1) + ")";
            QCOMPARE(Find<QPushButton>(dialog.get(), button)->text().left(3),
                     QString(step[0] == '-' ? "Sub" : "Add"));
            Click(dialog.get(), button);
        }
        QCOMPARE((QStringList{Find<QLineEdit>(dialog.get(), "txtChange")->text()} + f->shown())
                     .join(' '),
                 result);
        QVERIFY(dialog->isVisible() && dialog->amount() == amount);
    }

    // Change hands over the box as it stands; NoChange, Enter on it, Esc and the close box
    // leave the amount Pay gave; Enter in the box does nothing. Text that is not a number
    // is refused until corrected.
    void changeAmountWaysOut()
    {
        for (int how = 0; how < 5; ++how) {
            const auto dialog = show<ChangeAmountDialog>(how ? 3 : 1, 1000.0);
            QVERIFY(
                Find<QLabel>(dialog.get(), "labA")
                    ->text()
                    .endsWith(how ? "in 3 months, enter it here" : "in 1 month, enter it here"));
            QVERIFY(dialog->focusWidget() == Find(dialog.get(), "cmdChange"));
            auto* box = Find<QLineEdit>(dialog.get(), "txtChange");
            QCOMPARE(box->text(), QStringLiteral("1,000.00"));
            tu::Retype(dialog.get(), "txtChange", how ? " 2,500.75 " : "1.2.3");
            QTest::keyClick(box, Qt::Key_Return);
            Click(dialog.get(), how ? "cmdIncrease(0)" : "cmdChange");
            QVERIFY(dialog->isVisible());
            QCOMPARE(f->shown(), how ? QStringList() : QStringList{"Invalid amount"});
            if (how == 0) {
                tu::Retype(dialog.get(), "txtChange", ".5");
                Click(dialog.get(), "cmdChange");
            } else if (how == 1) {
                Click(dialog.get(), "cmdNoChange");
            } else if (how == 2) {
                QTest::mouseClick(box, Qt::LeftButton);
                QTest::keyClick(box, Qt::Key_Backtab);
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
            } else if (how == 3) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                dialog->close();
            }
            QVERIFY(!dialog->isVisible() &&
                    dialog->result() == (how ? QDialog::Rejected : QDialog::Accepted));
            QCOMPARE(dialog->amount(), how ? 1000.0 : 0.5);
        }
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
