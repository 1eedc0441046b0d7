// The computation: figures, month totals and due payments, each case through the grouped
// computation and the plain loop of budget_reference.h; the pot check; then the savings
// chart's lines.
#include "budget/budget.h"
#include "budget/cycles.h"
#include "budget/potcheck.h"
#include "core/dates.h"
#include "core/numfmt.h"
#include "forms/savingschart.h"
#include "tests/budget_reference.h"

#include <QtTest>

#include <random>

using namespace kestrow;

namespace {

const char* const kJune = "June|Sub|2026-06-01|1,200.00|12";
const char* const kDec = "Dec|Sub|2026-12-01|1,200.00|12";

std::vector<UsableRecord> Records(const QStringList& lines)
{
    return ParseText(lines.join('\n').toStdString()).records;
}

QString Cents(double money)
{
    return QString::number(money, 'f', 2);
}

// The month shown; monthly, bills, net, total and freed; "n:date" for each due entry in
// the order found; "!n" for each record left out; the totals at offsets 0, 1, 5, 6, 11.
QString Summary(const BudgetFigures& f)
{
    QStringList out{QString::fromStdString(f.shownMonth)};
    for (const double x :
         {f.monthlyRequired, f.billsDue, f.netRequirement, f.totalThisMonth, f.freedAmount})
        out << Cents(x);
    for (const DueEntry& entry : f.due)
        out << QStringLiteral("%1:%2").arg(entry.recordNumber).arg(entry.effectiveDate.c_str());
    for (const std::int32_t n : f.skippedRecords)
        out << QStringLiteral("!%1").arg(n);
    out << "|";
    for (const int m : {0, 1, 5, 6, 11})
        out << Cents(f.monthTotals.at(m));
    return out.join(' ');
}

// Every month's total, to the cent.
QStringList Totals(const BudgetFigures& f)
{
    QStringList totals;
    for (const double total : f.monthTotals)
        totals << Cents(total);
    return totals;
}

} // namespace

class TestBudget : public QObject
{
    Q_OBJECT
private slots:
    void figures_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char* name, const QStringList& lines, int offset,
                            const char* outcome) {
            QTest::newRow(name) << lines << offset << QString(outcome);
        };
        row("two yearly", {kJune, kDec}, 0,
            "2026-06 200.00 1200.00 0.00 1200.00 600.00 1:2026-06-01 | 600.00 800.00 1600.00 "
            "600.00 1600.00");
        // The pot follows the cycle at once; the payment is listed only from its first date.
        row("first date ahead", {"Later|SG|2027-09-01|600|6"}, 3,
            "2026-09 100.00 0.00 0.00 0.00 0.00 | 300.00 400.00 200.00 300.00 200.00");
        // Earlier this year: not moved on, due next February with its old date.
        row("earlier this year", {"Feb|Mem|2026-02-01|1200|12"}, 8,
            "2027-02 100.00 1200.00 0.00 1200.00 0.00 1:2026-02-01 | 400.00 500.00 900.00 1000.00 "
            "300.00");
        // Freed money: the true smallest total, the month ending the horizon aside; cents kept.
        row("freed beyond ten billion",
            {"A|S|2026-06-01|120,000,000,000.12|12", "B|S|2026-12-01|120,000,000,000.36|12"}, 3,
            "2026-09 20000000000.04 0.00 60000000000.24 60000000000.24 60000000000.06 | "
            "60000000000.18 80000000000.22 160000000000.38 60000000000.06 160000000000.26");
        row("only the last month empty", {"Ten|SG|2036-06-01|1,210|121"}, 0,
            "2026-06 10.00 0.00 0.00 0.00 10.00 | 10.00 20.00 60.00 70.00 120.00");
        // Records no month can place count nowhere; the others are as if alone.
        row("two- and five-digit years left out",
            {"Old|S|26-06-01|1|12", kJune, "Far|S|20260-06-01|1|12", kDec}, 0,
            "2026-06 200.00 1200.00 0.00 1200.00 600.00 2:2026-06-01 !1 !3 | 600.00 800.00 1600.00 "
            "600.00 1600.00");
        row("a step beyond 16 bits left out", {kJune, "Huge|S|0001-32000-01|1|32767"}, 0,
            "2026-06 100.00 1200.00 0.00 1200.00 0.00 1:2026-06-01 !2 | 0.00 100.00 500.00 600.00 "
            "1100.00");
        // The later of the stored and the stepped date is chosen by comparing texts.
        row("a one-digit month as typed", {"Hand|S|2026-3-1|50|1"}, 0,
            "2026-06 50.00 50.00 0.00 50.00 0.00 1:2026-3-1 | 0.00 0.00 0.00 0.00 0.00");
        row("the day cut, and kept later", {"End|S|2026-09-31|300|3"}, 0,
            "2026-06 100.00 0.00 0.00 0.00 0.00 | 0.00 100.00 200.00 0.00 200.00");
        // Monthly payments first due in different months: their due sums are carried on.
        row("monthly from two months", {"A|S|2026-03-01|5|1", "B|S|2027-01-01|7|1", kJune}, 0,
            "2026-06 112.00 1205.00 0.00 1205.00 0.00 1:2026-06-01 3:2026-06-01 | 0.00 100.00 "
            "500.00 600.00 1100.00");
        // Saved for from now on, but never listed: its first date lies past the last month.
        row("monthly, first due after the horizon", {kJune, "After|S|2036-07-01|9|1"}, 0,
            "2026-06 109.00 1200.00 0.00 1200.00 0.00 1:2026-06-01 | 0.00 100.00 500.00 600.00 "
            "1100.00");
    }
    // And in every month, the due payments and their sum from the rhythms, as Compute lists them.
    void figures()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, offset);
        QFETCH(QString, outcome);
        const auto records = Records(lines);
        const BudgetInput input{&records, "2026-06-15", 120, std::int16_t(offset)};
        const BudgetFigures grouped = Compute(input);
        const BudgetFigures plain = reference::Compute(input);
        QCOMPARE(Summary(grouped), outcome);
        QCOMPARE(Summary(plain), outcome);
        QCOMPARE(Totals(grouped), Totals(plain));
        const std::vector<DueRhythm> rhythms = DueRhythms(input);
        const std::vector<double> sums = DueSums(input);
        QCOMPARE(sums.size(), std::size_t(121));
        for (int i = 0; i <= 120; ++i) {
            const BudgetFigures f = Compute({&records, "2026-06-15", 120, std::int16_t(i)});
            QStringList listed, due;
            for (const DueRhythm& r : rhythms) {
                if (r.first <= i && (i - r.first) % r.period == 0)
                    listed << QString::number(records[r.record].recordNumber);
            }
            for (const DueEntry& entry : f.due)
                due << QString::number(entry.recordNumber);
            QCOMPARE(listed, due);
            QCOMPARE(FormatAmount(sums[std::size_t(i)]), FormatAmount(f.billsDue));
        }
    }

    void potCheck_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<double>("holds");
        QTest::addColumn<QString>("verdict");
        const auto row = [](const char* name, const QStringList& lines, double holds,
                            const char* verdict) {
            QTest::newRow(name) << lines << holds << QString(verdict);
        };
        row("on track", {kJune, kDec}, 2100,
            "The pot holds 2,100.00 and needs 1,200.00 now: 900.00 to spare.");
        // .1 + .2 is a hair above .30 as a double; the figures show .30, and so does the check.
        row("exactly on track", {"A|S|2026-06-01|.1|1", "B|S|2026-06-01|.2|1"}, 0.3,
            "The pot holds .30 and needs .30 now: .00 to spare.");
        row("short now, the largest named",
            {"A|S|2026-06-01|10|1", "B|S|2026-06-01|40|1", "C|S|2026-06-01|30|1",
             "D|S|2026-06-01|5|1"},
            35,
            "50.00 short. Kept as it is, the pot runs short in 2026-06, when B 40.00, C 30.00, A "
            "10.00 and 1 more are due. Add 50.00 now.");
        // 10.01 over 8 months is 1.25125: 1.26 a month, or eight months would fall a cent short.
        row("short later", {"Feb|Mem|2026-02-01|1200|12"}, 389.99,
            "10.01 short. Kept as it is, the pot runs short in 2027-02, when Feb 1,200.00 is due. "
            "Set aside 101.26 a month instead of 100.00 for the next 8 months, through 2027-02.");
        // Empty only at offset 119, the last month the freed money is taken from.
        row("short at the last month", {"Ten|SG|2036-05-01|1,200|120"}, 5,
            "5.00 short. Kept as it is, the pot runs short in 2036-05, when Ten 1,200.00 is due. "
            "Set aside 10.05 a month instead of 10.00 for the next 119 months, through 2036-05.");
        row("empty file", {}, 0, "The pot holds .00 and needs .00 now: .00 to spare.");
    }
    void potCheck()
    {
        QFETCH(QStringList, lines);
        QFETCH(double, holds);
        QFETCH(QString, verdict);
        const auto records = Records(lines);
        const BudgetInput input{&records, "2026-06-15", 120, 7}; // the offset plays no part
        QCOMPARE(QString::fromStdString(VerdictText(PotCheck(input).verdict(holds))), verdict);
    }

    // The quick ways against the general rules on random records and groups: placing by
    // numbers against by texts, a period's pattern against month-by-month sums (to the cent).
    void quickWaysAgree()
    {
        std::mt19937 random(2026); // a fixed start value, so a failure can be repeated
        const auto pick = [&random](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        for (int i = 0; i < 20000; ++i) {
            const int year = pick(1000, 9998);
            const std::string today =
                QString::asprintf("%04d-%02d-15", year, pick(1, 12)).toStdString();
            UsableRecord record;
            record.date = QString::asprintf("%04d-%02d-%02d", pick(year - 3, year + 3), pick(1, 12),
                                            pick(1, 31))
                              .toStdString();
            record.duration = std::int16_t(i % 10 ? pick(1, 36) : pick(1, 32767));
            const std::string tag = today + " " + record.date;
            const cycles::Frame frame = *cycles::TodayFrame(today);
            std::string stepped;
            std::string built;
            const cycles::Placement general = cycles::PlaceByText(record, frame, stepped);
            const auto quick = cycles::PlaceByNumbers(record, frame);
            QVERIFY2(quick.has_value() == FourDigitYear(stepped), tag.c_str());
            if (quick) {
                QVERIFY2(general.usable && quick->steppedWins == general.steppedWins &&
                             quick->dueLag == general.dueLag && quick->key == general.key,
                         tag.c_str());
                QCOMPARE(cycles::EffectiveText(*quick, record, frame, built),
                         cycles::EffectiveText(general, record, frame, stepped));
            }
        }
        for (int i = 0; i < 2000; ++i) {
            const int period = pick(2, 400);
            std::vector<cycles::SavingGroup> groups;
            for (int count = pick(1, 6); count > 0; --count)
                groups.push_back({period, pick(0, period - 1), pick(1, 100'000'000) / 700.0});
            std::vector<double> byPattern(std::size_t(pick(1, 1201)), 0.0);
            std::vector<double> monthByMonth = byPattern;
            std::vector<double> pattern;
            cycles::AddByPattern(&groups.front(), &groups.back() + 1, byPattern, pattern);
            cycles::AddMonthByMonth(&groups.front(), &groups.back() + 1, monthByMonth);
            for (std::size_t m = 0; m < byPattern.size(); ++m)
                QVERIFY2(std::fabs(byPattern[m] - monthByMonth[m]) < 0.005,
                         qPrintable(QString::number(period)));
        }
    }

    // The chart: grid (pink below freed), grey Januaries, marker, then bars with freed over.
    void linesInDrawingOrder()
    {
        std::vector<double> totals(121);
        for (std::size_t i = 0; i < totals.size(); ++i)
            totals[i] = 100.0 * double(i % 12) + 600; // the largest is 1700
        for (const int month : {1, 6, 12}) {
            std::vector<ChartLine> want;
            for (const int y : {0, 1000, 2000})
                want.push_back({-2, double(y), 122, double(y),
                                y < 600 ? chartcolours::Pink : chartcolours::Grey});
            for (int j = 13 - month; j <= 120; j += 12)
                want.push_back({double(j), 0, double(j), 2000, chartcolours::Grey});
            want.push_back({7, 0, 7, 2000, chartcolours::Marker});
            for (int i = 0; i <= 120; ++i) {
                want.push_back(
                    {double(i), 0, double(i), totals[std::size_t(i)], chartcolours::Bar});
                want.push_back({double(i), 0, double(i), 600, chartcolours::Freed});
            }
            const ChartPlan plan = MakeChartPlan(totals, 600, 120, month, 7);
            // The top is the largest total rounded up to the grid, not beyond, 0 for nothing.
            QVERIFY(MakeChartPlan({1000, 0}, 0, 1, 1, 0).chartTop == 1000 &&
                    MakeChartPlan({0, 0}, 0, 1, 1, 0).chartTop == 0);
            QVERIFY(plan.lines.size() == want.size() && plan.top == 2010 && plan.right == 122);
            for (std::size_t k = 0; k < want.size(); ++k) {
                const ChartLine &a = plan.lines[k], &b = want[k];
                QVERIFY2(a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2 &&
                             a.colour == b.colour,
                         qPrintable(QString::number(k)));
            }
        }
        // However high the top, no more than 4,096 grid lines are drawn.
        const ChartPlan high = MakeChartPlan({4096000, 0}, 0, 1, 1, 0);
        const auto isGridLine = [](const ChartLine& line) { return line.x1 == -2; };
        QVERIFY(std::count_if(high.lines.begin(), high.lines.end(), isGridLine) <= 4096);
    }
};

QTEST_GUILESS_MAIN(TestBudget)
#include "tst_budget.moc"
