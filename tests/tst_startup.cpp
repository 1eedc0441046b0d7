// Start-up: the first run through the real windows, Exit on the first run, a second Kestrow
// and an unreadable clock; then damaged and extreme data files taken through the program
// as a user meets them: start-up, every month the main window can show, the entry list in
// all six orders, Step and Pay on the payments due now. Whatever the file holds, Kestrow
// keeps running, reports the lines it cannot use once, and keeps every line it was not
// asked to change.
#include "app/startup.h"
#include "forms/entrylistdialog.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "testutil.h"

#include <QLabel>

using tu::Click;
using tu::Find;

namespace {

// A payment due every month, so every month lists one.
const QByteArray kRent = "Rent|Sub|2026-06-01|800.00|1", kCar = "Car|Ins|2026-12-10|1234.5|12";
QByteArray Around(const QByteArray& line)
{
    return kRent + "\r\n" + line + "\r\n" + kCar + "\r\n";
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;
    std::unique_ptr<MainWindow> main;
    // The windows as the program wires them.
    StartupWindows windows()
    {
        return {[this] { IntroDialog(*f->app).exec(); },
                [this] { (main = std::make_unique<MainWindow>(*f->app))->show(); }};
    }
    // Steps, then pays, record `number`: in the file only its date may change.
    void change(int number, const char* button)
    {
        const QByteArrayList before = tu::Lines(f->bytes());
        if (!tu::Numbers(Find<QListWidget>(main.get(), "lstDue")).contains(number))
            Click(main.get(), "cmdNext"); // stepped on, it may be due next month
        const QList<int> due = tu::Numbers(Find<QListWidget>(main.get(), "lstDue"));
        tu::ClickRow(Find<QListWidget>(main.get(), "lstDue"), int(due.indexOf(number)));
        tu::Answer noChange({[](QWidget* dialog) { Click(dialog, "cmdNoChange"); }});
        Click(main.get(), button);
        QCOMPARE(noChange.seen.size(), QByteArray(button) == "cmdPay" ? 1 : 0);
        const QByteArrayList after = tu::Lines(f->bytes());
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < after.size(); ++i) {
            QByteArrayList was = before[i].split('|'), now = after[i].split('|');
            if (i == number - 1)
                was[2] = now[2] = "";
            QVERIFY2(was == now, qPrintable(QStringLiteral("line %1 changed").arg(i + 1)));
        }
        Click(main.get(), "cmdZero");
    }

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup()
    {
        main.reset();
        f.reset();
    }

    // No data file: an empty one is made, and the introduction comes back until a payment
    // has been added; then the main window shows it.
    void firstRun()
    {
        bool emptyFile = false;
        tu::Answer answer(
            {[&](QWidget* intro) {
                 emptyFile = f->bytes().isEmpty();
                 Click(intro, "cmdContinue");
             },
             [](QWidget* add) { Click(add, "cmdCancel"); },
             [](QWidget* intro) { QTest::keyClick(intro->focusWidget(), Qt::Key_Return); },
             [](QWidget* add) {
                 for (int i = 0; i < 5; ++i) {
                     auto* box = Find<QLineEdit>(add, QStringLiteral("txtIn(%1)").arg(i));
                     tu::Type(
                         box,
                         QString(" Car insurance |Sub|2026-6-1|1234.5|240").section('|', i, i));
                     QTest::keyClick(box, i < 4 ? Qt::Key_Tab : Qt::Key_Return);
                 }
                 QTest::keyClick(add->focusWidget(), Qt::Key_Escape);
             }});
        QVERIFY(Main(*f->app, windows()));
        QCOMPARE(answer.seen + answer.unanswered,
                 (QStringList{"frmIntro", "frmAdd", "frmIntro", "frmAdd"}));
        QVERIFY(emptyFile && f->shown().isEmpty());
        QCOMPARE(f->bytes(), QByteArray("Car insurance|Sub|2026-06-01|1,234.50|240\r\n"));
        QCOMPARE(int(f->app->horizonMonths()), 240);
        QWidget* shown = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            shown = window->objectName() == "frmMain" && window->isVisible() ? window : shown;
        QVERIFY(shown != nullptr);
        QCOMPARE(tu::Rows(Find<QListWidget>(shown, "lstDue")),
                 QStringList{"2026-06-01 1,234.50  Sub  Car insurance"});
    }

    void exitOnFirstRun()
    {
        tu::Answer answer({[](QWidget* intro) { Click(intro, "cmdQuit"); }});
        QVERIFY(!Main(*f->app, windows()) && platform::ProgramEnding() && !main);
        QCOMPARE(f->bytes(), QByteArray("<missing>")); // the empty file goes without a question
        QCOMPARE(f->shown(), QStringList());
    }

    // A second Kestrow on the folder, or a clock that cannot be read, ends start-up with a
    // message and shows no window.
    void refused()
    {
        QVERIFY(f->write(kRent));
        const StartupWindows none{[] { QFAIL("no introduction"); },
                                  [] { QFAIL("no main window"); }};
        {
            kestrow::DataStore first(f->data, f->temp);
            QVERIFY(first.open() && !Main(*f->app, none));
            QVERIFY(f->shown().join(' ').contains("already running"));
        }
        platform::SetSystemDateForTesting("2026-12-05");
        QVERIFY(!Main(*f->app, none) && !platform::ProgramEnding());
        QCOMPARE(f->shown(),
                 QStringList{"Kestrow cannot read today's date from the system clock."});
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("report"); // how the one message starts
        QTest::addColumn<int>("horizon");
        QTest::newRow("empty file") << QByteArray() << "" << 120;
        QTest::newRow("CR only") << QByteArray("\r\r\r") << "Lines 1, 2, 3 of" << 120;
        QTest::newRow("no final line end") << kRent + "\r\n" + kCar << "" << 120;
        QTest::newRow("1 MB line") << Around(QByteArray(1 << 20, 'x')) << "Line 2 of" << 120;
        QTest::newRow("1 MB name")
            << Around(QByteArray(1 << 20, 'N') + "|S|2026-06-03|5|1") << "" << 120;
        QTest::newRow("NUL bytes")
            << Around(QByteArray("Ga\0s|S\0|2026-06-05|5|1\r\n\0\0", 26)) << "Line 3 of" << 120;
        QTest::newRow("invalid UTF-8")
            << Around("Caf\xc3|S\xff|2026-06-07|5|1\r\n\xfe\xff\xc0\xaf") << "Line 3 of" << 120;
        QByteArray many; // spread over ten years, so every month lists as many
        for (int i = 0; i < 100000; ++i)
            many += QStringLiteral("P%1|T|%2-%3-01|%4.25|120\n")
                        .arg(i)
                        .arg(2026 + (5 + i % 120) / 12)
                        .arg((5 + i % 120) % 12 + 1, 2, 10, QChar('0'))
                        .arg(1 + i % 5000)
                        .toLatin1();
        QTest::newRow("100,000 lines") << many << "" << 120;
        QTest::newRow("more than twenty unusable lines")
            << QByteArray("x\n").repeated(23) + kRent
            << "Lines 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, and 3 "
               "more of"
            << 120;
        for (const char* duration : {"0", "-1", "99999999999"})
            QTest::addRow("duration %s", duration)
                << Around(QByteArray("Odd|S|2026-06-01|5|") + duration) << "Line 2 of" << 120;
        QTest::newRow("duration 240") << Around("Odd|S|2026-06-02|5|240") << "" << 240;
        QTest::newRow("duration 32767") << Around("Odd|S|2026-06-02|5|32767") << "" << 32767;
        for (const char* amount : {"1e308", "nan", "inf"})
            QTest::addRow("amount %s", amount)
                << Around(QByteArray("Odd|S|2026-06-01|") + amount + "|1") << "Line 2 of" << 120;
        QTest::newRow("amount -0") << Around("Odd|S|2026-06-04|-0|1") << "" << 120;
        QTest::newRow("amount 1,2,3") << Around("Odd|S|2026-06-04|1,2,3|1") << "" << 120;
        // Month 0 counts as the month before January: moved on to today it is 2026-06-00.
        QTest::newRow("date 0000-00-00") << Around("Odd|S|0000-00-00|5|1") << "" << 120;
        QTest::newRow("date 9999-12-31") << Around("Odd|S|9999-12-31|5|1") << "" << 120;
        for (const char* date : {"2026-1-1-1", "--", "999-06-01", "20266-06-01", "2026-13"})
            QTest::addRow("date %s", date)
                << Around(QByteArray("Odd|S|") + date + "|5|1") << "Line 2 of" << 120;
        QTest::newRow("four fields") << Around("Odd|S|2026-06-01|5") << "Line 2 of" << 120;
        QTest::newRow("seven fields") << Around("Odd|S|2026-06-06|5|1|card 7|x") << "" << 120;
        QTest::newRow("everything at once")
            << QByteArray("\r\n|||||\r\nOdd|S|2026-06-01|nan|0\n") + '\0' + "\r" + kRent + "\n" +
                   QByteArray(70000, '|') + "\r" + kCar
            << "Lines 1, 2, 3, 4, 6 of" << 120;
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, report);
        QFETCH(int, horizon);
        QVERIFY(f->write(contents));
        // On an empty file the introduction comes first; there the user adds one payment.
        QByteArray expected = contents.isEmpty() ? kRent + "\r\n" : contents;
        QVERIFY(Main(*f->app, {[this] { QVERIFY(f->app->data().append(kRent.toStdString())); },
                               windows().showMain}));
        const QString shown = f->shown().join(' ');
        QVERIFY2(report.isEmpty() ? shown.isEmpty() : shown.startsWith(report), qPrintable(shown));
        QCOMPARE(int(f->app->horizonMonths()), horizon);

        // Every month to the end of the horizon and back; by years where the horizon is long
        // or each refresh reads a great many lines.
        MainWindow* w = main.get();
        int offset = 0;
        for (; (horizon > 240 || tu::Lines(expected).size() > 1000) && offset + 12 <= horizon;
             offset += 12)
            Click(w, "cmdNextYr");
        while (offset < horizon) {
            Click(w, "cmdNext");
            const int month = 2026 * 12 + 5 + ++offset;
            QCOMPARE(Find<QLabel>(w, "labE")->text(), QStringLiteral("Payments due in %1-%2")
                                                          .arg(month / 12)
                                                          .arg(month % 12 + 1, 2, 10, QChar('0')));
        }
        QVERIFY(!Find(w, "cmdNext")->isEnabled() && !Find(w, "cmdNextYr")->isEnabled());
        for (int i = 0; i < 12 && Find(w, "cmdPrevYr")->isEnabled(); ++i)
            Click(w, "cmdPrevYr");
        for (int i = 0; i < 12 && Find(w, "cmdPrev")->isEnabled(); ++i)
            Click(w, "cmdPrev");
        Click(w, "cmdZero");
        QVERIFY(!Find(w, "cmdPrev")->isEnabled() &&
                Find<QLabel>(w, "labE")->text().endsWith("2026-06"));

        // The entry list in every order: each line once, by its number.
        {
            EntryListDialog list(*f->app);
            list.show();
            for (int order = 5; order >= 0; --order) {
                Click(&list, QStringLiteral("Option1(%1)").arg(order));
                QList<int> numbers = tu::Numbers(Find<QListWidget>(&list, "lstDisplay"));
                std::sort(numbers.begin(), numbers.end());
                QCOMPARE(numbers.size(), tu::Lines(expected).size());
                for (qsizetype i = 0; i < numbers.size(); ++i)
                    QVERIFY(numbers[i] == i + 1);
            }
        }
        QCOMPARE(f->bytes(), expected);

        // Step and Pay the first and the last payment due now.
        QList<int> due = tu::Numbers(Find<QListWidget>(w, "lstDue"));
        QVERIFY2(!due.isEmpty() || !expected.contains('|'), "no payment due now");
        std::sort(due.begin(), due.end());
        for (const int number : QSet<int>{due.value(0), due.value(due.size() - 1)}) {
            if (number > 0) {
                change(number, "cmdStep");
                change(number, "cmdPay");
            }
        }
        QVERIFY(!f->scratch() && f->shown().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
