// The computation: the figures, month totals and due payments of a displayed month, each
// case run through both the grouped computation the windows use and the plain loop of
// budget_reference.h; then the texts the main window shows and the order of its list.
#include "budget/budget.h"
#include "tests/budget_reference.h"

#include <QtTest>

using namespace kestrow;

namespace {

using ComputeFn = BudgetFigures (*)(const BudgetInput&);

BudgetFigures Run(ComputeFn compute, const std::vector<UsableRecord>& records, int offset,
                  const std::string& today = "2026-06-15", int horizon = 120)
{
    BudgetInput input;
    input.records = &records;
    input.todayDate = today;
    input.horizonMonths = std::int16_t(horizon);
    input.monthOffset = std::int16_t(offset);
    return compute(input);
}

std::vector<UsableRecord> Records(const QStringList& lines)
{
    std::vector<std::string> raw;
    for (const QString& line : lines)
        raw.push_back(line.toStdString());
    return ParseLines(raw).records;
}

// "n:date" for each due entry in the order found, then "!n" for each record left out.
QString Listed(const BudgetFigures& figures)
{
    QStringList out;
    for (const DueEntry& entry : figures.due)
        out << QStringLiteral("%1:%2").arg(entry.recordNumber).arg(entry.effectiveDate.c_str());
    for (const std::int32_t n : figures.skippedRecords)
        out << QStringLiteral("!%1").arg(n);
    return out.join(' ');
}

QList<double> Numbers(const QString& text)
{
    QList<double> numbers;
    for (const QString& n : text.split(' ', Qt::SkipEmptyParts))
        numbers << n.toDouble();
    return numbers;
}

const QString kJune = QStringLiteral("June|Sub|2026-06-01|1,200.00|12");
const QString kDecember = QStringLiteral("December|Sub|2026-12-01|1,200.00|12");

} // namespace

class TestBudget : public QObject
{
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void displayedMonth_data();
    void displayedMonth();
    void inputsOutOfRange();
    void labels();
    void dueLines_data();
    void dueLines();
    void sortedOrder_data();
    void sortedOrder();
};

void TestBudget::figures_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("today");
    QTest::addColumn<QString>("figures"); // monthly, bills, net, total, freed; empty: unchecked
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("totals"); // at offsets 0, 1, 5, 6, 11, 12, 119, 120
    const auto row = [](const char* name, const QStringList& lines, int offset, const char* figures,
                        const char* listed, const char* totals = "",
                        const char* today = "2026-06-15") {
        QTest::newRow(name) << lines << offset << QString(today) << QString(figures)
                            << QString(listed) << QString(totals);
    };
    const QStringList two{kJune, kDecember};
    row("two yearly, this month", two, 0, "200 1200 0 1200 600", "1:2026-06-01",
        "600 800 1600 600 1600 600 1600 600");
    row("two yearly, offset 3", two, 3, "200 0 600 600 600", "");
    row("two yearly, offset 6", two, 6, "200 1200 0 1200 600", "2:2026-12-01");
    row("single yearly", {kJune}, 0, "100 1200 0 1200 0", "1:2026-06-01",
        "0 100 500 600 1100 0 1100 0");
    // Due by its cycle at offsets 3, 9 and 15, but its first date is 2027-09.
    const QStringList later{"Later|SG|2027-09-01|600.00|6"};
    row("first date ahead, offset 0", later, 0, "100 0 300 300 0", "");
    row("first date ahead, offset 3", later, 3, "100 0 0 0 0", "");
    row("first date ahead, offset 15", later, 15, "100 600 0 600 0", "1:2027-09-01");
    // StepDate gives 2026-06-01, earlier as text, so the stored date stays.
    const QStringList december{"Dec|SG|2026-12-01|600.00|6"};
    row("half-yearly december, offset 0", december, 0, "100 0 0 0 0", "");
    row("half-yearly december, offset 6", december, 6, "100 600 0 600 0", "1:2026-12-01");
    const QStringList monthly{"Phone|Sub|2026-03-01|50.00|1"};
    row("monthly adds nothing to the pot", monthly, 0, "50 50 0 50 0", "1:2026-06-01",
        "0 0 0 0 0 0 0 0");
    row("monthly, last month of the horizon", monthly, 120, "50 50 0 50 0", "1:2026-06-01");
    // A yearly payment earlier this year is not moved: due in 2027-02 with its old date.
    const QStringList earlier{"Earlier|Mem|2026-02-01|1,200.00|12"};
    row("earlier this year, offset 0", earlier, 0, "100 0 400 400 0", "",
        "400 500 900 1000 300 400 300 400");
    row("earlier this year, offset 8", earlier, 8, "100 1200 0 1200 0", "1:2026-02-01");
    row("duplicate lines count twice", {kJune, kJune}, 0, "200 2400 0 2400 0",
        "1:2026-06-01 2:2026-06-01");
    row("empty file", {}, 0, "0 0 0 0 0", "");
    row("unusable lines keep the numbers", {"not a payment", kJune, "A|B|2026-01-01|x|1"}, 0,
        "100 1200 0 1200 0", "2:2026-06-01");
    // Only the month that ends the horizon is empty: it does not lower the freed money.
    row("minimum only in the last month", {"Decade|SG|2036-06-01|1,210.00|121"}, 0,
        "10 0 0 0 10", "");
    // The freed money is the true smallest total, not capped by a start value.
    row("freed money beyond ten billion",
        {"A|SG|2026-06-01|120,000,000,000.00|12", "B|SG|2026-12-01|120,000,000,000.00|12"}, 3,
        "2e10 0 6e10 6e10 6e10", "");
    // Records no month can place count nowhere; the others are as if they were alone.
    row("two-digit year left out", {"Old|Sub|26-06-01|100.00|12", kJune, kDecember}, 0,
        "200 1200 0 1200 600", "2:2026-06-01 !1");
    row("five-digit year left out", {kJune, "Far|Sub|20260-06-01|100.00|12", kDecember}, 6,
        "200 1200 0 1200 600", "3:2026-12-01 !2");
    row("step beyond 16 bits left out", {kJune, kDecember, "Huge|S|0001-32000-01|100.00|32767"},
        0, "200 1200 0 1200 600", "1:2026-06-01 !3");
    // The later of the stored and the stepped date is chosen by comparing their texts.
    row("stepped into a five-digit year sorts first", {"Far|Sub|9999-11-01|300.00|3"}, 0, "", "",
        "", "2026-12-05");
    row("stepped past a three-digit year", {"Old|Sub|0999-06-01|300.00|12"}, 0, "", "1:2026-06-01");
    row("one-digit month stays as typed", {"Hand|Sub|2026-3-1|50.00|1"}, 0, "50 50 0 50 0",
        "1:2026-3-1");
    row("day cut to the month", {"End|Sub|2026-01-31|50.00|1"}, 0, "", "1:2026-02-28", "",
        "2026-02-10");
    row("day cut and kept later", {"End|Sub|2026-09-31|50.00|3"}, 0, "", "");
}

void TestBudget::figures()
{
    QFETCH(QStringList, lines);
    QFETCH(int, offset);
    QFETCH(QString, today);
    QFETCH(QString, figures);
    QFETCH(QString, listed);
    QFETCH(QString, totals);
    const auto records = Records(lines);
    for (const ComputeFn compute : {&Compute, &reference::Compute}) {
        const BudgetFigures f = Run(compute, records, offset, today.toStdString());
        if (!figures.isEmpty()) {
            QCOMPARE((QList<double>{f.monthlyRequired, f.billsDue, f.netRequirement,
                                    f.totalThisMonth, f.freedAmount}),
                     Numbers(figures));
        }
        QCOMPARE(Listed(f), listed);
        QCOMPARE(f.monthTotals.size(), std::size_t(121));
        if (!totals.isEmpty()) {
            QList<double> at;
            for (const int i : {0, 1, 5, 6, 11, 12, 119, 120})
                at << f.monthTotals[std::size_t(i)];
            QCOMPARE(at, Numbers(totals));
        }
    }
}

void TestBudget::displayedMonth_data()
{
    QTest::addColumn<QString>("today");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("key");
    QTest::newRow("this month") << "2026-06-15" << 0 << "2026-06" << 20260699;
    QTest::newRow("into next year") << "2026-06-15" << 7 << "2027-01" << 20270199;
    QTest::newRow("december") << "2026-06-15" << 6 << "2026-12" << 20261299;
    QTest::newRow("from december") << "2026-12-05" << 1 << "2027-01" << 20270199;
    QTest::newRow("largest horizon") << "2026-01-31" << 32767 << "4756-08" << 47560899;
}

void TestBudget::displayedMonth()
{
    QFETCH(QString, today);
    QFETCH(int, offset);
    QFETCH(QString, shown);
    QFETCH(int, key);
    const BudgetFigures f = Run(&Compute, {}, offset, today.toStdString(), 32767);
    QCOMPARE(QString::fromStdString(f.shownMonth), shown);
    QCOMPARE(f.dueMonthKey, key);
    QCOMPARE(QString::fromStdString(MakeLabels(f).dueCaption), "Payments due in " + shown);
}

// Offsets, horizons and todays from elsewhere are brought into range, never read past.
void TestBudget::inputsOutOfRange()
{
    const auto records = Records({kJune, kDecember});
    for (const ComputeFn compute : {&Compute, &reference::Compute}) {
        const BudgetFigures beyond = Run(compute, records, 500);
        QCOMPARE(beyond.shownMonth, std::string("2036-06"));
        QCOMPARE(Listed(beyond), QStringLiteral("1:2026-06-01"));
        QCOMPARE(Run(compute, records, -3).shownMonth, std::string("2026-06"));
        const BudgetFigures none = Run(compute, records, 0, "2026-06-15", -5);
        QCOMPARE(none.monthTotals.size(), std::size_t(1));
        QCOMPARE(none.freedAmount, 0.0);
        for (const char* today : {"", "2026-6-15", "2026-13-01", "2026-00-10", "2026-06-32",
                                  "15-06-2026", "20x6-06-15", "2026-0x-15", "2026/06/15"}) {
            const BudgetFigures f = Run(compute, records, 0, today);
            QVERIFY2(Listed(f) == QStringLiteral("!1 !2") && f.monthlyRequired == 0, today);
        }
    }
    QCOMPARE(Compute(BudgetInput{nullptr, "2026-06-15"}).freedAmount, 0.0);
}

void TestBudget::labels()
{
    BudgetFigures f;
    f.shownMonth = "2026-06";
    f.monthlyRequired = 1234567.891;
    f.totalThisMonth = 0.5;
    f.billsDue = 0.004;
    f.netRequirement = -5;
    f.freedAmount = 12345.678;
    const BudgetLabels l = MakeLabels(f);
    QCOMPARE((QStringList{l.monthlyRequired.c_str(), l.totalThisMonth.c_str(), l.billsDue.c_str(),
                          l.netRequirement.c_str(), l.chartCaption.c_str()}),
             (QStringList{"1,234,567.89 ", ".50 ", ".00 ", "-5.00 ", "Graph: $12345.68 freed"}));
}

void TestBudget::dueLines_data()
{
    QTest::addColumn<QByteArrayList>("entries"); // date|amount|type|name
    QTest::addColumn<QByteArrayList>("lines");
    const auto row = [](const char* name, QByteArrayList entries, QByteArrayList lines) {
        QTest::newRow(name) << entries << lines;
    };
    row("the example", {"2026-03-01|1234.5|Sub|Car insurance"},
        {"2026-03-01 1,234.50  Sub  Car insurance"});
    row("short type padded", {"2026-06-01|10|SG|Car"}, {"2026-06-01    10.00  SG   Car"});
    row("empty type", {"2026-06-01|10||Car"}, {"2026-06-01    10.00       Car"});
    row("long type cut", {"2026-06-01|10|Insurance|Car"}, {"2026-06-01    10.00  InsurCar"});
    row("largest amount that fits", {"2026-06-01|99999.99|Sub|A", "2026-06-01|.5|Sub|B"},
        {"2026-06-0199,999.99  Sub  A", "2026-06-01      .50  Sub  B"});
    row("wide amount widens every line", {"2026-06-01|-2|Sub|A", "2026-06-02|1000000|SG|B"},
        {"2026-06-01        -2.00  Sub  A", "2026-06-02 1,000,000.00  SG   B"});
    row("utf-8 cut by characters", {"d|1|Gr\xc3\xbc\xc3\x9f""e!|x"}, {"d     1.00  Gr\xc3\xbc\xc3\x9f""ex"});
    row("utf-8 padded by characters", {"d|1|\xe2\x82\xac|x"}, {"d     1.00  \xe2\x82\xac    x"});
    row("code page bytes count one each", {"d|1|Gr\xfc\xdf""e!|x"}, {"d     1.00  Gr\xfc\xdf""ex"});
    row("name in the code page decides", {"d|1|\xc3\xbc|Caf\xe9"}, {"d     1.00  \xc3\xbc   Caf\xe9"});
    row("overlong form is not utf-8", {"d|1|\xc0\xafxyz|x"}, {"d     1.00  \xc0\xafxyzx"});
}

void TestBudget::dueLines()
{
    QFETCH(QByteArrayList, entries);
    QFETCH(QByteArrayList, lines);
    std::vector<DueEntry> due;
    for (const QByteArray& entry : entries) {
        const QByteArrayList p = entry.split('|');
        due.push_back({1, p[0].toStdString(), p[1].toDouble(), p[2].toStdString(),
                       p[3].toStdString()});
    }
    QByteArrayList got;
    for (const std::string& line : DueLines(due))
        got << QByteArray::fromStdString(line);
    QCOMPARE(got, lines);
}

void TestBudget::sortedOrder_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("by date") << QByteArrayList{"2026-06-20 x", "2026-06-01 y", "2025-12-31 z"}
                             << QList<int>{2, 1, 0};
    QTest::newRow("case folded, ties stable")
        << QByteArrayList{"b", "A", "a", "B"} << QList<int>{1, 2, 0, 3};
    QTest::newRow("shorter prefix first") << QByteArrayList{"abc", "ab", "abcd"}
                                          << QList<int>{1, 0, 2};
    QTest::newRow("blank before digits")
        << QByteArrayList{"2026-06-01 1,000.00", "2026-06-01    50.00"} << QList<int>{1, 0};
    QTest::newRow("letters fold to lower case") << QByteArrayList{"a_", "A[", "AZ"}
                                                << QList<int>{1, 0, 2};
    QTest::newRow("bytes above ascii after letters")
        << QByteArrayList{"\xc3\xa9t\xc3\xa9", "zoo"} << QList<int>{1, 0};
}

void TestBudget::sortedOrder()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QList<int>, order);
    std::vector<std::string> raw;
    for (const QByteArray& line : lines)
        raw.push_back(line.toStdString());
    const auto sorted = SortedOrder(raw);
    QCOMPARE(QList<int>(sorted.begin(), sorted.end()), order);
}

QTEST_GUILESS_MAIN(TestBudget)
#include "tst_budget.moc"
