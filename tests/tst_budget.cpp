// The computation: the figures, month totals and due payments of a displayed month, each
// case through both the grouped computation the windows use and the plain loop of
// budget_reference.h; then the texts and the order of the main window's due list.
#include "budget/budget.h"
#include "tests/budget_reference.h"

#include <QtTest>

using namespace kestrow;

namespace {

using ComputeFn = BudgetFigures (*)(const BudgetInput&);
const ComputeFn kBoth[] = {&Compute, &reference::Compute};

std::vector<UsableRecord> Records(const QStringList& lines)
{
    std::vector<std::string> raw;
    for (const QString& line : lines)
        raw.push_back(line.toStdString());
    return ParseLines(raw).records;
}

// The five figures, "n:date" for each due entry in the order found, and "!n" for each
// record left out.
QString Outcome(const BudgetFigures& f)
{
    QStringList out;
    for (const double figure :
         {f.monthlyRequired, f.billsDue, f.netRequirement, f.totalThisMonth, f.freedAmount})
        out << QString::number(figure);
    for (const DueEntry& entry : f.due)
        out << QStringLiteral("%1:%2").arg(entry.recordNumber).arg(entry.effectiveDate.c_str());
    for (const std::int32_t n : f.skippedRecords)
        out << QStringLiteral("!%1").arg(n);
    return out.join(' ');
}

const QString kJune = "June|Sub|2026-06-01|1,200.00|12", kDec = "Dec|Sub|2026-12-01|1,200.00|12";

} // namespace

class TestBudget : public QObject
{
    Q_OBJECT
private slots:
    void figures_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("today");
        QTest::addColumn<QString>("outcome"); // monthly, bills, net, total, freed, due, left out
        const auto row = [](const char* name, const QStringList& lines, int offset,
                            const char* outcome, const char* today = "2026-06-15") {
            QTest::newRow(name) << lines << offset << QString(today) << QString(outcome);
        };
        row("two yearly, this month", {kJune, kDec}, 0, "200 1200 0 1200 600 1:2026-06-01");
        row("two yearly, offset 3", {kJune, kDec}, 3, "200 0 600 600 600");
        row("two yearly, offset 6", {kJune, kDec}, 6, "200 1200 0 1200 600 2:2026-12-01");
        row("single yearly", {kJune}, 0, "100 1200 0 1200 0 1:2026-06-01");
        // Due by its cycle at offsets 3, 9 and 15, but its first date is 2027-09.
        const QStringList later{"Later|SG|2027-09-01|600.00|6"};
        row("first date ahead, offset 0", later, 0, "100 0 300 300 0");
        row("first date ahead, offset 3", later, 3, "100 0 0 0 0");
        row("first date ahead, offset 15", later, 15, "100 600 0 600 0 1:2027-09-01");
        // The stepped date 2026-06-01 is earlier as text, so the stored date stays.
        row("half-yearly december", {"Dec|SG|2026-12-01|600.00|6"}, 6,
            "100 600 0 600 0 1:2026-12-01");
        row("monthly, last month of the horizon", {"Phone|Sub|2026-03-01|50.00|1"}, 120,
            "50 50 0 50 0 1:2026-06-01");
        // A yearly payment earlier this year is not moved: due in 2027-02 with its old date.
        const QStringList earlier{"Earlier|Mem|2026-02-01|1,200.00|12"};
        row("earlier this year, offset 0", earlier, 0, "100 0 400 400 0");
        row("earlier this year, offset 8", earlier, 8, "100 1200 0 1200 0 1:2026-02-01");
        row("duplicate lines count twice", {kJune, kJune}, 0,
            "200 2400 0 2400 0 1:2026-06-01 2:2026-06-01");
        row("empty file", {}, 0, "0 0 0 0 0");
        row("unusable lines keep the numbers", {"no payment", kJune, "A|B|2026-01-01|x|1"}, 0,
            "100 1200 0 1200 0 2:2026-06-01");
        // Only the month that ends the horizon is empty: it does not lower the freed money.
        row("minimum only in the last month", {"Ten|SG|2036-06-01|1,210.00|121"}, 0, "10 0 0 0 10");
        // The freed money is the true smallest total, not capped by a start value.
        row("freed money beyond ten billion",
            {"A|SG|2026-06-01|120,000,000,000|12", "B|SG|2026-12-01|120,000,000,000|12"}, 3,
            "2e+10 0 6e+10 6e+10 6e+10");
        // Records no month can place count nowhere; the others are as if they were alone.
        row("two-digit year left out", {"Old|Sub|26-06-01|100|12", kJune, kDec}, 0,
            "200 1200 0 1200 600 2:2026-06-01 !1");
        row("five-digit year left out", {kJune, "Far|Sub|20260-06-01|100|12", kDec}, 6,
            "200 1200 0 1200 600 3:2026-12-01 !2");
        row("step beyond 16 bits left out", {kJune, kDec, "Huge|S|0001-32000-01|100|32767"}, 0,
            "200 1200 0 1200 600 1:2026-06-01 !3");
        // The later of the stored and the stepped date is chosen by comparing their texts.
        row("stepped into a five-digit year, sorted first", {"Far|Sub|9999-11-01|300|3"}, 0,
            "100 0 100 100 0", "2026-12-05");
        row("stepped past a three-digit year", {"Old|Sub|0999-06-01|1200|12"}, 0,
            "100 1200 0 1200 0 1:2026-06-01");
        row("a one-digit month stays as typed", {"Hand|Sub|2026-3-1|50|1"}, 0,
            "50 50 0 50 0 1:2026-3-1");
        row("day cut to the month", {"End|Sub|2026-01-31|50|1"}, 0, "50 50 0 50 0 1:2026-02-28",
            "2026-02-10");
        row("day cut and then kept later", {"End|Sub|2026-09-31|300|3"}, 0, "100 0 0 0 0");
        for (const char* today : {"", "2026-6-15", "2026-13-01", "2026-00-10", "2026-06-32",
                                  "20x6-06-15", "2026/06/15"})
            row(qPrintable(QStringLiteral("no usable today: '%1'").arg(today)), {kJune, kDec}, 0,
                "0 0 0 0 0 !1 !2", today);
    }
    void figures()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, offset);
        QFETCH(QString, today);
        QFETCH(QString, outcome);
        const auto records = Records(lines);
        for (const ComputeFn compute : kBoth) {
            const BudgetFigures f =
                compute({&records, today.toStdString(), 120, std::int16_t(offset)});
            QCOMPARE(Outcome(f), outcome);
            QCOMPARE(f.monthTotals.size(), std::size_t(121));
        }
    }

    void monthTotals()
    {
        const std::pair<QStringList, QList<double>> cases[] = {
            {{kJune, kDec}, {600, 800, 1600, 600, 1600, 600, 1600, 600}},
            {{kJune}, {0, 100, 500, 600, 1100, 0, 1100, 0}},
            {{"Phone|Sub|2026-03-01|50.00|1"}, {0, 0, 0, 0, 0, 0, 0, 0}}, // paid as saved
            {{"Earlier|Mem|2026-02-01|1,200.00|12"}, {400, 500, 900, 1000, 300, 400, 300, 400}}};
        for (const auto& [lines, expected] : cases) {
            const auto records = Records(lines);
            for (const ComputeFn compute : kBoth) {
                const auto totals = compute({&records, "2026-06-15"}).monthTotals;
                QList<double> at;
                for (const int i : {0, 1, 5, 6, 11, 12, 119, 120})
                    at << totals[std::size_t(i)];
                QCOMPARE(at, expected);
            }
        }
    }

    // The displayed month and its key; offsets, horizons and records from elsewhere are
    // brought into range, never read past.
    void displayedMonth()
    {
        const auto records = Records({kJune, kDec});
        const std::tuple<const char*, int, int, const char*, int> cases[] = {
            {"2026-06-15", 7, 120, "2027-01", 20270199},
            {"2026-12-05", 1, 120, "2027-01", 20270199},
            {"2026-01-31", 32767, 32767, "4756-08", 47560899},
            {"2026-06-15", 500, 120, "2036-06", 20360699},
            {"2026-06-15", -3, 120, "2026-06", 20260699}};
        for (const auto& [today, offset, horizon, month, key] : cases) {
            for (const ComputeFn compute : kBoth) {
                const BudgetFigures f =
                    compute({&records, today, std::int16_t(horizon), std::int16_t(offset)});
                QCOMPARE(MakeLabels(f).dueCaption, "Payments due in " + std::string(month));
                QCOMPARE(f.dueMonthKey, key);
            }
        }
        for (const ComputeFn compute : kBoth) {
            const BudgetFigures none = compute({&records, "2026-06-15", -5});
            QVERIFY(none.monthTotals.size() == 1 && none.freedAmount == 0);
            QCOMPARE(compute({nullptr, "2026-06-15"}).freedAmount, 0.0);
        }
    }

    void labels()
    {
        BudgetFigures f;
        f.monthlyRequired = 1234567.891;
        f.totalThisMonth = 0.5;
        f.billsDue = 0.004;
        f.netRequirement = -5;
        f.freedAmount = 12345.678;
        const BudgetLabels l = MakeLabels(f);
        QCOMPARE(l.monthlyRequired + l.totalThisMonth + l.billsDue + l.netRequirement +
                     l.chartCaption,
                 std::string("1,234,567.89 .50 .00 -5.00 Graph: $12345.68 freed"));
    }

    // Entries "date|amount|type|name" give lines; a row's entries and lines apart by ";".
    void dueLines_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<QByteArray>("lines");
        const auto row = [](const char* name, const char* entries, const char* lines) {
            QTest::newRow(name) << QByteArray(entries) << QByteArray(lines);
        };
        row("the example", "2026-03-01|1234.5|Sub|Car insurance",
            "2026-03-01 1,234.50  Sub  Car insurance");
        row("type padded, emptied, cut", "d|10|SG|A;d|10||B;d|10|Insurance|C",
            "d    10.00  SG   A;d    10.00       B;d    10.00  InsurC");
        row("largest amount that fits", "d|99999.99|S|A;d|.5|S|B",
            "d99,999.99  S    A;d      .50  S    B");
        row("a wider amount widens all", "d|-2|S|A;d|1e6|S|B",
            "d        -2.00  S    A;d 1,000,000.00  S    B");
        // The record as a whole decides how the type is counted, as it is shown as a whole.
        row("characters in UTF-8",
            "d|1|Gr\xc3\xbc\xc3\x9f"
            "e!|x;d|1|\xe2\x82\xac|x",
            "d     1.00  Gr\xc3\xbc\xc3\x9f"
            "ex;d     1.00  \xe2\x82\xac    x");
        row("bytes in the code page",
            "d|1|Gr\xfc\xdf"
            "e!|x;d|1|\xc3\xbc|Caf\xe9;d|1|\xc0\xafxyz|x",
            "d     1.00  Gr\xfc\xdf"
            "ex;d     1.00  \xc3\xbc   Caf\xe9;d     1.00  \xc0\xafxyzx");
    }
    void dueLines()
    {
        QFETCH(QByteArray, entries);
        QFETCH(QByteArray, lines);
        std::vector<DueEntry> due;
        for (const QByteArray& entry : entries.split(';')) {
            const QByteArrayList p = entry.split('|');
            due.push_back(
                {1, p[0].toStdString(), p[1].toDouble(), p[2].toStdString(), p[3].toStdString()});
        }
        QByteArrayList got;
        for (const std::string& line : DueLines(due))
            got << QByteArray::fromStdString(line);
        QCOMPARE(got.join(';'), lines);
    }

    // Case-insensitive byte order, ties in the order given: for due lines, date order.
    void sortedOrder()
    {
        const std::vector<std::string> lines{"2026-06-20 x",
                                             "b",
                                             "2026-06-01 y",
                                             "A",
                                             "a",
                                             "B",
                                             "ab",
                                             "a_",
                                             "A[",
                                             "\xc3\xa9t\xc3\xa9",
                                             "zoo",
                                             "2026-06-01 1,000.00",
                                             "2026-06-01    50.00"};
        QByteArrayList sorted;
        for (const std::size_t i : SortedOrder(lines))
            sorted << QByteArray::fromStdString(lines[i]);
        QCOMPARE(sorted, (QByteArrayList{"2026-06-01    50.00", "2026-06-01 1,000.00",
                                         "2026-06-01 y", "2026-06-20 x", "A", "a", "A[", "a_", "ab",
                                         "b", "B", "zoo", "\xc3\xa9t\xc3\xa9"}));
    }
};

QTEST_GUILESS_MAIN(TestBudget)
#include "tst_budget.moc"
