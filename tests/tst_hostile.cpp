// Damaged and extreme data files, taken through the program as a user meets them: start-up,
// every month the main window can show, the entry list in all six orders, then Step and
// Pay on the payments due now. Whatever the file holds, Kestrow keeps running, reports the
// lines it cannot use once, and keeps every line it was not asked to change.
#include "app/startup.h"
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "testutil.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

// A payment due every month, so every month lists one.
const QByteArray kRent = "Rent|Sub|2026-06-01|800.00|1";
const QByteArray kCar = "Car|Ins|2026-12-10|1234.5|12";

QByteArray Around(const QByteArray& line)
{
    return kRent + "\r\n" + line + "\r\n" + kCar + "\r\n";
}

// One payment a line, spread over ten years so every month lists the same number.
QByteArray ManyLines(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const int month = 5 + i % 120;
        bytes += QStringLiteral("P%1|T%2|%3-%4-%5|%6.25|120\n")
                     .arg(i)
                     .arg(i % 7)
                     .arg(2026 + month / 12)
                     .arg(month % 12 + 1, 2, 10, QChar('0'))
                     .arg(1 + i % 28, 2, 10, QChar('0'))
                     .arg(1 + i % 5000)
                     .toLatin1();
    }
    return bytes;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup()
    {
        main_.reset();
        f.reset();
    }
    void throughEveryWindow_data();
    void throughEveryWindow();

private:
    // Step, then Pay, the payment of record `number`: only its date may change.
    void stepAndPay(int number);
    std::unique_ptr<tu::Fixture> f;
    std::unique_ptr<MainWindow> main_;
};

void TestHostile::throughEveryWindow_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("unusable"); // the lines start-up reports
    QTest::addColumn<bool>("byYears");     // a long horizon, or slow refreshes: walk by years
    QTest::newRow("empty file") << QByteArray() << "" << false;
    QTest::newRow("CR only") << QByteArray("\r\r\r") << "Lines 1, 2, 3 of" << false;
    QTest::newRow("no final line end") << kRent + "\r\n" + kCar << "" << false;
    QTest::newRow("1 MB line") << Around(QByteArray(1 << 20, 'x')) << "Line 2 of" << false;
    QTest::newRow("1 MB name") << Around(QByteArray(1 << 20, 'N') + "|Sub|2026-06-03|5|1") << ""
                               << false;
    QTest::newRow("NUL bytes") << Around(QByteArray("Ga\0s|S\0|2026-06-05|5.00|1\r\n\0\0", 29))
                               << "Line 3 of" << false;
    QTest::newRow("invalid UTF-8") << Around("Caf\xc3|S\xff|2026-06-07|5|1\r\n\xfe\xff\xc0\xaf")
                                   << "Line 3 of" << false;
    QTest::newRow("100,000 lines") << ManyLines(100000) << "" << true;
    QTest::newRow("duration 0") << Around("Odd|Sub|2026-06-01|5|0") << "Line 2 of" << false;
    QTest::newRow("duration -1") << Around("Odd|Sub|2026-06-01|5|-1") << "Line 2 of" << false;
    QTest::newRow("duration 32767") << Around("Odd|Sub|2026-06-02|5|32767") << "" << true;
    QTest::newRow("duration 99999999999")
        << Around("Odd|Sub|2026-06-01|5|99999999999") << "Line 2 of" << false;
    QTest::newRow("amount 1e308") << Around("Odd|Sub|2026-06-01|1e308|1") << "Line 2 of" << false;
    QTest::newRow("amount nan") << Around("Odd|Sub|2026-06-01|nan|1") << "Line 2 of" << false;
    QTest::newRow("amount inf") << Around("Odd|Sub|2026-06-01|inf|1") << "Line 2 of" << false;
    QTest::newRow("amount -0") << Around("Odd|Sub|2026-06-04|-0|1") << "" << false;
    QTest::newRow("amount 1,2,3") << Around("Odd|Sub|2026-06-04|1,2,3|1") << "" << false;
    // Month 0 counts as the month before January: moved on to today it is 2026-06-00.
    QTest::newRow("date 0000-00-00") << Around("Odd|Sub|0000-00-00|5|1") << "" << false;
    QTest::newRow("date 9999-12-31") << Around("Odd|Sub|9999-12-31|5|1") << "" << false;
    QTest::newRow("date 2026-1-1-1") << Around("Odd|Sub|2026-1-1-1|5|1") << "Line 2 of" << false;
    QTest::newRow("date --") << Around("Odd|Sub|--|5|1") << "Line 2 of" << false;
    QTest::newRow("year of 3 digits") << Around("Odd|Sub|999-06-01|5|1") << "Line 2 of" << false;
    QTest::newRow("year of 5 digits") << Around("Odd|Sub|20266-06-01|5|1") << "Line 2 of" << false;
    QTest::newRow("four fields") << Around("Odd|Sub|2026-06-01|5") << "Line 2 of" << false;
    QTest::newRow("seven fields") << Around("Odd|Sub|2026-06-06|5|1|card 7|x") << "" << false;
    QTest::newRow("everything at once")
        << QByteArray("\r\n|||||\r\nOdd|Sub|2026-06-01|nan|0\n") + '\0' + "\r" + kRent + "\n" +
               QByteArray(70000, '|') + "\r" + kCar
        << "Lines 1, 2, 3, 4, 6 of" << false;
}

void TestHostile::throughEveryWindow()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, unusable);
    QFETCH(bool, byYears);
    QVERIFY(f->write(contents));
    // On an empty file the introduction comes first; there the user adds one payment.
    QByteArray expected = contents;
    QVERIFY(Main(f->state(), {[&] {
                                  QVERIFY(f->state().data().append(kRent.toStdString()));
                                  expected = kRent + "\r\n";
                              },
                              [this] {
                                  main_ = std::make_unique<MainWindow>(f->state());
                                  main_->show();
                              }}));
    const QStringList report = f->shown();
    QCOMPARE(report.size(), unusable.isEmpty() ? 0 : 1);
    QVERIFY2(unusable.isEmpty() || report.value(0).startsWith(unusable), qPrintable(report.value(0)));

    // Every month to the end of the horizon and back.
    MainWindow* w = main_.get();
    const int horizon = f->state().horizonMonths();
    const auto caption = [w] { return tu::Find<QLabel>(w, "labE")->text(); };
    for (int clicks = 0; byYears && clicks < horizon && tu::Find(w, "cmdNextYr")->isEnabled(); ++clicks)
        tu::Click(w, "cmdNextYr");
    for (int offset = byYears ? horizon / 12 * 12 : 0; offset < horizon;) {
        tu::Click(w, "cmdNext");
        const int month = 2026 * 12 + 5 + ++offset;
        QCOMPARE(caption(), QStringLiteral("Payments due in %1-%2")
                                .arg(month / 12)
                                .arg(month % 12 + 1, 2, 10, QChar('0')));
    }
    QVERIFY(!tu::Find(w, "cmdNext")->isEnabled() && !tu::Find(w, "cmdNextYr")->isEnabled());
    for (int clicks = 0; !byYears && clicks < horizon && tu::Find(w, "cmdPrevYr")->isEnabled(); ++clicks)
        tu::Click(w, "cmdPrevYr");
    for (int clicks = 0; !byYears && clicks < 12 && tu::Find(w, "cmdPrev")->isEnabled(); ++clicks)
        tu::Click(w, "cmdPrev");
    tu::Click(w, "cmdZero");
    QCOMPARE(caption(), QStringLiteral("Payments due in 2026-06"));
    QVERIFY(!tu::Find(w, "cmdPrev")->isEnabled());
    QCOMPARE(f->bytes(), expected);

    // The entry list in every order: each line once, by its number.
    {
        EntryListDialog list(f->state());
        list.show();
        const qsizetype lines = tu::Lines(expected).size();
        for (int order = EntryListDialog::kOrders - 1; order >= 0; --order) {
            tu::Click(&list, QStringLiteral("Option1(%1)").arg(order));
            QList<int> numbers = tu::Numbers(tu::Find<QListWidget>(&list, "lstDisplay"));
            std::sort(numbers.begin(), numbers.end());
            QCOMPARE(numbers.size(), lines);
            QVERIFY(lines == 0 || (numbers.front() == 1 && numbers.back() == lines &&
                                   std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end()));
        }
    }
    QCOMPARE(f->bytes(), expected);

    // Step and Pay the first and the last payment due now.
    QList<int> due = tu::Numbers(tu::Find<QListWidget>(w, "lstDue"));
    QVERIFY2(!due.isEmpty() || !expected.contains('|'), "no payment due now");
    std::sort(due.begin(), due.end());
    if (!due.isEmpty())
        stepAndPay(due.front());
    if (due.size() > 1)
        stepAndPay(due.back());
    QVERIFY(!f->scratch());
    QCOMPARE(f->shown(), QStringList());
}

void TestHostile::stepAndPay(int number)
{
    QListWidget* due = tu::Find<QListWidget>(main_.get(), "lstDue");
    const auto change = [&](const char* button) {
        const QByteArrayList before = tu::Lines(f->bytes());
        if (!tu::Numbers(due).contains(number))
            tu::Click(main_.get(), "cmdNext"); // stepped on, it may be due next month
        tu::ClickRow(due, int(tu::Numbers(due).indexOf(number)));
        tu::Answer noChange({[](QWidget* dialog) { tu::Click(dialog, "cmdNoChange"); }});
        tu::Click(main_.get(), button);
        QCOMPARE(noChange.seen.size(), QString(button) == "cmdPay" ? 1 : 0);
        const QByteArrayList after = tu::Lines(f->bytes());
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < after.size(); ++i) {
            QByteArrayList was = before[i].split('|'), now = after[i].split('|');
            if (i == number - 1) {
                was.removeAt(2);
                now.removeAt(2);
            }
            QVERIFY2(was == now, qPrintable(QStringLiteral("line %1 changed").arg(i + 1)));
        }
        tu::Click(main_.get(), "cmdZero");
    };
    change("cmdStep");
    change("cmdPay");
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
