// The monthly requirement: figures, month totals and due payments of a displayed month,
// the texts the main window shows, and the grouped computation against the plain
// records x months loop.
#include "budget/budget.h"
#include "core/record.h"
#include "tests/budget_reference.h"

#include <QtTest>

#include <cmath>
#include <random>

using namespace kestrow;

Q_DECLARE_METATYPE(std::vector<double>)

namespace {

constexpr const char* kToday = "2026-06-15";

std::vector<UsableRecord> Records(const QStringList& lines)
{
    std::vector<std::string> raw;
    for (const auto& line : lines)
        raw.push_back(line.toStdString());
    return ParseLines(raw).records;
}

using ComputeFn = BudgetFigures (*)(const BudgetInput&);

BudgetFigures Run(ComputeFn compute, const std::vector<UsableRecord>& records, int offset,
                  int horizon = 120, const char* today = kToday)
{
    BudgetInput input;
    input.records = &records;
    input.todayDate = today;
    input.horizonMonths = static_cast<std::int16_t>(horizon);
    input.monthOffset = static_cast<std::int16_t>(offset);
    return compute(input);
}

QList<int> DueNumbers(const BudgetFigures& figures)
{
    QList<int> numbers;
    for (const auto& entry : figures.due)
        numbers << entry.recordNumber;
    return numbers;
}

QStringList DueDates(const BudgetFigures& figures)
{
    QStringList dates;
    for (const auto& entry : figures.due)
        dates << QString::fromStdString(entry.effectiveDate);
    return dates;
}

QList<int> Skipped(const BudgetFigures& figures)
{
    return QList<int>(figures.skippedRecords.begin(), figures.skippedRecords.end());
}

const QString kYearlyJune = QStringLiteral("June|Sub|2026-06-01|1,200.00|12");
const QString kYearlyDecember = QStringLiteral("December|Sub|2026-12-01|1,200.00|12");

} // namespace

class TestBudget : public QObject
{
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void monthTotals_data();
    void monthTotals();
    void displayedMonth_data();
    void displayedMonth();
    void skipped_data();
    void skipped();
    void datesComparedAsText_data();
    void datesComparedAsText();
    void inputsOutsideTheirRange();
    void labels_data();
    void labels();
    void dueLines_data();
    void dueLines();
    void dueLineEncodings_data();
    void dueLineEncodings();
    void sortedOrder_data();
    void sortedOrder();
    void dueListSortsByDate();
    void groupedEqualsDirect();
};

// Every case runs through both computations: the grouped one the windows use and the
// plain loop it is checked against.
void TestBudget::figures_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("offset");
    QTest::addColumn<double>("monthlyRequired");
    QTest::addColumn<double>("billsDue");
    QTest::addColumn<double>("netRequirement");
    QTest::addColumn<double>("totalThisMonth");
    QTest::addColumn<double>("freedAmount");
    QTest::addColumn<QList<int>>("due");
    QTest::addColumn<QStringList>("dueDates");

    const QStringList twoYearly{kYearlyJune, kYearlyDecember};
    QTest::newRow("two yearly, this month") << twoYearly << 0 << 200.0 << 1200.0 << 0.0 << 1200.0
                                            << 600.0 << QList<int>{1} << QStringList{"2026-06-01"};
    QTest::newRow("two yearly, offset 3") << twoYearly << 3 << 200.0 << 0.0 << 600.0 << 600.0
                                          << 600.0 << QList<int>{} << QStringList{};
    QTest::newRow("two yearly, offset 6") << twoYearly << 6 << 200.0 << 1200.0 << 0.0 << 1200.0
                                          << 600.0 << QList<int>{2} << QStringList{"2026-12-01"};
    QTest::newRow("single yearly") << QStringList{kYearlyJune} << 0 << 100.0 << 1200.0 << 0.0
                                   << 1200.0 << 0.0 << QList<int>{1} << QStringList{"2026-06-01"};

    // Due by its cycle at offsets 3, 9 and 15, but its first date is 2027-09.
    const QStringList later{"Later|SG|2027-09-01|600.00|6"};
    QTest::newRow("first date ahead, offset 0")
        << later << 0 << 100.0 << 0.0 << 300.0 << 300.0 << 0.0 << QList<int>{} << QStringList{};
    QTest::newRow("first date ahead, offset 3")
        << later << 3 << 100.0 << 0.0 << 0.0 << 0.0 << 0.0 << QList<int>{} << QStringList{};
    QTest::newRow("first date ahead, offset 9")
        << later << 9 << 100.0 << 0.0 << 0.0 << 0.0 << 0.0 << QList<int>{} << QStringList{};
    QTest::newRow("first date ahead, offset 15")
        << later << 15 << 100.0 << 600.0 << 0.0 << 600.0 << 0.0 << QList<int>{1}
        << QStringList{"2027-09-01"};

    // StepDate gives 2026-06-01, earlier as text, so the stored date stays.
    const QStringList december{"Dec|SG|2026-12-01|600.00|6"};
    QTest::newRow("half-yearly december, offset 0")
        << december << 0 << 100.0 << 0.0 << 0.0 << 0.0 << 0.0 << QList<int>{} << QStringList{};
    QTest::newRow("half-yearly december, offset 6")
        << december << 6 << 100.0 << 600.0 << 0.0 << 600.0 << 0.0 << QList<int>{1}
        << QStringList{"2026-12-01"};

    const QStringList monthly{"Phone|Sub|2026-03-01|50.00|1"};
    QTest::newRow("monthly, offset 0") << monthly << 0 << 50.0 << 50.0 << 0.0 << 50.0 << 0.0
                                       << QList<int>{1} << QStringList{"2026-06-01"};
    QTest::newRow("monthly, last month of the horizon")
        << monthly << 120 << 50.0 << 50.0 << 0.0 << 50.0 << 0.0 << QList<int>{1}
        << QStringList{"2026-06-01"};

    // A yearly payment earlier this year is not moved: due in 2027-02 with its old date.
    const QStringList earlier{"Earlier|Mem|2026-02-01|1,200.00|12"};
    QTest::newRow("earlier this year, offset 0")
        << earlier << 0 << 100.0 << 0.0 << 400.0 << 400.0 << 0.0 << QList<int>{} << QStringList{};
    QTest::newRow("earlier this year, offset 8")
        << earlier << 8 << 100.0 << 1200.0 << 0.0 << 1200.0 << 0.0 << QList<int>{1}
        << QStringList{"2026-02-01"};

    QTest::newRow("duplicate lines count twice")
        << QStringList{kYearlyJune, kYearlyJune} << 0 << 200.0 << 2400.0 << 0.0 << 2400.0 << 0.0
        << QList<int>{1, 2} << QStringList{"2026-06-01", "2026-06-01"};
    QTest::newRow("empty file") << QStringList{} << 0 << 0.0 << 0.0 << 0.0 << 0.0 << 0.0
                                << QList<int>{} << QStringList{};
    QTest::newRow("unusable lines keep the numbers")
        << QStringList{"not a payment", kYearlyJune, "A|B|2026-01-01|x|1"} << 0 << 100.0 << 1200.0
        << 0.0 << 1200.0 << 0.0 << QList<int>{2} << QStringList{"2026-06-01"};

    // Due in the month that ends the horizon only: that month does not lower the freed money.
    QTest::newRow("minimum only in the last month")
        << QStringList{"Decade|SG|2036-06-01|1,210.00|121"} << 0 << 10.0 << 0.0 << 0.0 << 0.0
        << 10.0 << QList<int>{} << QStringList{};
    // Every pot holds more than 9,999,999,999 in every month: the freed money is still the
    // smallest total, not a cap.
    QTest::newRow("freed money beyond ten billion")
        << QStringList{"Big June|SG|2026-06-01|120,000,000,000.00|12",
                       "Big Dec|SG|2026-12-01|120,000,000,000.00|12"}
        << 3 << 2e10 << 0.0 << 6e10 << 6e10 << 6e10 << QList<int>{} << QStringList{};
}

void TestBudget::figures()
{
    QFETCH(QStringList, lines);
    QFETCH(int, offset);
    QFETCH(double, monthlyRequired);
    QFETCH(double, billsDue);
    QFETCH(double, netRequirement);
    QFETCH(double, totalThisMonth);
    QFETCH(double, freedAmount);
    QFETCH(QList<int>, due);
    QFETCH(QStringList, dueDates);

    const auto records = Records(lines);
    for (const ComputeFn compute : {&Compute, &reference::Compute}) {
        const BudgetFigures figures = Run(compute, records, offset);
        QCOMPARE(figures.monthlyRequired, monthlyRequired);
        QCOMPARE(figures.billsDue, billsDue);
        QCOMPARE(figures.netRequirement, netRequirement);
        QCOMPARE(figures.totalThisMonth, totalThisMonth);
        QCOMPARE(figures.freedAmount, freedAmount);
        QCOMPARE(DueNumbers(figures), due);
        QCOMPARE(DueDates(figures), dueDates);
        QCOMPARE(figures.monthTotals.size(), std::size_t(121));
        QVERIFY(figures.skippedRecords.empty());
    }
}

void TestBudget::monthTotals_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<std::vector<double>>("expected"); // at offsets 0, 1, 5, 6, 11, 12, 119, 120

    QTest::newRow("two yearly") << QStringList{kYearlyJune, kYearlyDecember}
                                << std::vector<double>{600, 800, 1600, 600, 1600, 600, 1600, 600};
    QTest::newRow("single yearly")
        << QStringList{kYearlyJune} << std::vector<double>{0, 100, 500, 600, 1100, 0, 1100, 0};
    QTest::newRow("monthly adds nothing")
        << QStringList{"Phone|Sub|2026-03-01|50.00|1"} << std::vector<double>(8, 0.0);
    QTest::newRow("earlier this year")
        << QStringList{"Earlier|Mem|2026-02-01|1,200.00|12"}
        << std::vector<double>{400, 500, 900, 1000, 300, 400, 300, 400};
}

void TestBudget::monthTotals()
{
    QFETCH(QStringList, lines);
    QFETCH(std::vector<double>, expected);
    const int offsets[] = {0, 1, 5, 6, 11, 12, 119, 120};
    const auto records = Records(lines);
    for (const ComputeFn compute : {&Compute, &reference::Compute}) {
        const BudgetFigures figures = Run(compute, records, 0);
        for (std::size_t k = 0; k < expected.size(); ++k)
            QCOMPARE(figures.monthTotals[std::size_t(offsets[k])], expected[k]);
    }
}

void TestBudget::displayedMonth_data()
{
    QTest::addColumn<QString>("today");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("shownMonth");
    QTest::addColumn<int>("dueMonthKey");
    QTest::newRow("this month") << kToday << 0 << "2026-06" << 20260699;
    QTest::newRow("into next year") << kToday << 7 << "2027-01" << 20270199;
    QTest::newRow("december") << kToday << 6 << "2026-12" << 20261299;
    QTest::newRow("end of the horizon") << kToday << 120 << "2036-06" << 20360699;
    QTest::newRow("from december") << "2026-12-05" << 1 << "2027-01" << 20270199;
    QTest::newRow("largest horizon") << "2026-01-31" << 32767 << "4756-08" << 47560899;
}

void TestBudget::displayedMonth()
{
    QFETCH(QString, today);
    QFETCH(int, offset);
    QFETCH(QString, shownMonth);
    QFETCH(int, dueMonthKey);
    const std::string todayText = today.toStdString();
    const std::vector<UsableRecord> none;
    const BudgetFigures figures = Run(&Compute, none, offset, 32767, todayText.c_str());
    QCOMPARE(QString::fromStdString(figures.shownMonth), shownMonth);
    QCOMPARE(figures.dueMonthKey, dueMonthKey);
    QCOMPARE(MakeLabels(figures).dueCaption, "Payments due in " + shownMonth.toStdString());
}

// Records the pass cannot place are left out; the others are computed as if they were not
// there, and keep their line numbers.
void TestBudget::skipped_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("two-digit year") << "Old|Sub|26-06-01|100.00|12";
    QTest::newRow("five-digit year") << "Far|Sub|20260-06-01|100.00|12";
    QTest::newRow("step beyond 16 bits") << "Huge|Sub|0001-32000-01|100.00|32767";
}

void TestBudget::skipped()
{
    QFETCH(QString, line);
    const auto records = Records({line, kYearlyJune, line, kYearlyDecember});
    QCOMPARE(records.size(), std::size_t(4));
    const auto alone = Records({kYearlyJune, kYearlyDecember});
    for (const ComputeFn compute : {&Compute, &reference::Compute}) {
        for (const int offset : {0, 6}) {
            const BudgetFigures figures = Run(compute, records, offset);
            const BudgetFigures expected = Run(compute, alone, offset);
            QCOMPARE(Skipped(figures), (QList<int>{1, 3}));
            QCOMPARE(figures.monthTotals, expected.monthTotals);
            QCOMPARE(figures.monthlyRequired, expected.monthlyRequired);
            QCOMPARE(figures.billsDue, expected.billsDue);
            QCOMPARE(figures.freedAmount, expected.freedAmount);
            QCOMPARE(DueNumbers(figures), QList<int>{offset == 0 ? 2 : 4});
        }
    }
}

// The later of the stored and the stepped date is chosen by comparing their texts, which
// orders dates whose parts have the usual widths; these rows pin down what it does with
// the others.
void TestBudget::datesComparedAsText_data()
{
    QTest::addColumn<QString>("today");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("skipped");
    QTest::addColumn<QStringList>("dueDates");
    // Stepping carries December + 2 into the year 10000, which sorts before 9999 as text:
    // the stored date stays, and its four-digit year keeps the record in.
    QTest::newRow("stepped into a five-digit year")
        << "2026-12-05"
        << "Far|Sub|9999-11-01|300.00|3" << 0 << false << QStringList{};
    QTest::newRow("stepped past a stored year of three digits")
        << kToday << "Old|Sub|0999-06-01|300.00|12" << 0 << false << QStringList{"2026-06-01"};
    QTest::newRow("one-digit month stays as typed")
        << kToday << "Hand|Sub|2026-3-1|50.00|1" << 0 << false << QStringList{"2026-3-1"};
    QTest::newRow("day cut to the month")
        << "2026-02-10"
        << "End|Sub|2026-01-31|50.00|1" << 0 << false << QStringList{"2026-02-28"};
    QTest::newRow("day cut and kept later")
        << kToday << "End|Sub|2026-09-31|50.00|3" << 0 << false << QStringList{};
}

void TestBudget::datesComparedAsText()
{
    QFETCH(QString, today);
    QFETCH(QString, line);
    QFETCH(int, offset);
    QFETCH(bool, skipped);
    QFETCH(QStringList, dueDates);
    const std::string todayText = today.toStdString();
    const auto records = Records({line});
    QCOMPARE(records.size(), std::size_t(1));
    for (const ComputeFn compute : {&Compute, &reference::Compute}) {
        const BudgetFigures figures = Run(compute, records, offset, 120, todayText.c_str());
        QCOMPARE(figures.skippedRecords.empty(), !skipped);
        QCOMPARE(DueDates(figures), dueDates);
    }
}

void TestBudget::inputsOutsideTheirRange()
{
    const auto records = Records({kYearlyJune, kYearlyDecember});
    for (const ComputeFn compute : {&Compute, &reference::Compute}) {
        // An offset beyond the horizon shows the last month rather than reading past it.
        const BudgetFigures beyond = Run(compute, records, 500);
        QCOMPARE(QString::fromStdString(beyond.shownMonth), QStringLiteral("2036-06"));
        QCOMPARE(DueNumbers(beyond), QList<int>{1});

        const BudgetFigures before = Run(compute, records, -3);
        QCOMPARE(QString::fromStdString(before.shownMonth), QStringLiteral("2026-06"));

        const BudgetFigures noHorizon = Run(compute, records, 0, -5);
        QCOMPARE(noHorizon.monthTotals.size(), std::size_t(1));
        QCOMPARE(noHorizon.freedAmount, 0.0);

        for (const char* today : {"", "2026-6-15", "2026-13-01", "15-06-2026"}) {
            const BudgetFigures figures = Run(compute, records, 0, 120, today);
            QCOMPARE(Skipped(figures), (QList<int>{1, 2}));
            QCOMPARE(figures.monthlyRequired, 0.0);
            QVERIFY(figures.due.empty());
        }
    }
    BudgetInput noRecords;
    noRecords.todayDate = kToday;
    QCOMPARE(Compute(noRecords).freedAmount, 0.0);
}

void TestBudget::labels_data()
{
    QTest::addColumn<double>("monthly");
    QTest::addColumn<double>("total");
    QTest::addColumn<double>("bills");
    QTest::addColumn<double>("net");
    QTest::addColumn<double>("freed");
    QTest::addColumn<QStringList>("expected"); // lab1, lab2, lab3, lab4, labE, labF

    QTest::newRow("grouping and trailing blank")
        << 1234.5 << 1200.0 << 1200.0 << 0.0 << 600.0
        << QStringList{
               "1,234.50 ",           "1,200.00 ", "1,200.00 ", ".00 ", "Payments due in 2026-06",
               "Graph: $600.00 freed"};
    QTest::newRow("below one dollar")
        << 0.25 << 0.5 << 0.0 << 0.5 << 0.0
        << QStringList{
               ".25 ", ".50 ", ".00 ", ".50 ", "Payments due in 2026-06", "Graph: $.00 freed"};
    QTest::newRow("rounded to cents, no grouping in dollars")
        << 1234567.891 << 12345.678 << 0.004 << -5.0 << 12345.678
        << QStringList{
               "1,234,567.89 ",         "12,345.68 ", ".00 ", "-5.00 ", "Payments due in 2026-06",
               "Graph: $12345.68 freed"};
}

void TestBudget::labels()
{
    QFETCH(double, monthly);
    QFETCH(double, total);
    QFETCH(double, bills);
    QFETCH(double, net);
    QFETCH(double, freed);
    QFETCH(QStringList, expected);
    BudgetFigures figures;
    figures.shownMonth = "2026-06";
    figures.monthlyRequired = monthly;
    figures.totalThisMonth = total;
    figures.billsDue = bills;
    figures.netRequirement = net;
    figures.freedAmount = freed;
    const BudgetLabels labels = MakeLabels(figures);
    const QStringList got{QString::fromStdString(labels.monthlyRequired),
                          QString::fromStdString(labels.totalThisMonth),
                          QString::fromStdString(labels.billsDue),
                          QString::fromStdString(labels.netRequirement),
                          QString::fromStdString(labels.dueCaption),
                          QString::fromStdString(labels.chartCaption)};
    QCOMPARE(got, expected);
}

void TestBudget::dueLines_data()
{
    QTest::addColumn<QStringList>("entries"); // date|amount|type|name
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("the example") << QStringList{"2026-03-01|1234.5|Sub|Car insurance"}
                                 << QStringList{"2026-03-01 1,234.50  Sub  Car insurance"};
    QTest::newRow("small amount") << QStringList{"2026-06-01|50|Sub|Phone"}
                                  << QStringList{"2026-06-01    50.00  Sub  Phone"};
    QTest::newRow("three-letter type")
        << QStringList{"2026-06-01|10|Mem|Club"} << QStringList{"2026-06-01    10.00  Mem  Club"};
    QTest::newRow("two-letter type")
        << QStringList{"2026-06-01|10|SG|Car"} << QStringList{"2026-06-01    10.00  SG   Car"};
    QTest::newRow("empty type") << QStringList{"2026-06-01|10||Car"}
                                << QStringList{"2026-06-01    10.00       Car"};
    QTest::newRow("long type cut") << QStringList{"2026-06-01|10|Insurance|Car"}
                                   << QStringList{"2026-06-01    10.00  InsurCar"};
    QTest::newRow("largest amount that fits")
        << QStringList{"2026-06-01|99999.99|Sub|A", "2026-06-01|.5|Sub|B"}
        << QStringList{"2026-06-0199,999.99  Sub  A", "2026-06-01      .50  Sub  B"};
    QTest::newRow("wide amount widens every line")
        << QStringList{"2026-06-01|50|Sub|Small", "2026-06-02|123456.78|SG|Large"}
        << QStringList{"2026-06-01      50.00  Sub  Small", "2026-06-02 123,456.78  SG   Large"};
    QTest::newRow("millions") << QStringList{"2026-06-01|1000000|Sub|A", "2026-06-01|-2|Sub|B"}
                              << QStringList{"2026-06-01 1,000,000.00  Sub  A",
                                             "2026-06-01        -2.00  Sub  B"};
    QTest::newRow("no entries") << QStringList{} << QStringList{};
}

void TestBudget::dueLines()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, lines);
    std::vector<DueEntry> due;
    for (const auto& entry : entries) {
        const QStringList parts = entry.split('|');
        due.push_back({int(due.size()) + 1, parts[0].toStdString(), parts[1].toDouble(),
                       parts[2].toStdString(), parts[3].toStdString()});
    }
    QStringList got;
    for (const auto& line : DueLines(due))
        got << QString::fromStdString(line);
    QCOMPARE(got, lines);
}

// The type column counts characters: a UTF-8 letter is never cut in half, and bytes that
// are not UTF-8 (an older file's code page) count one each. The record as a whole decides,
// as it is shown as a whole.
void TestBudget::dueLineEncodings_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("column");
    QTest::newRow("utf-8 cut by characters") << QByteArray("Gr\xc3\xbc\xc3\x9f"
                                                           "e!")
                                             << QByteArray("x")
                                             << QByteArray("Gr\xc3\xbc\xc3\x9f"
                                                           "e");
    QTest::newRow("utf-8 padded by characters")
        << QByteArray("G\xc3\xbc") << QByteArray("x") << QByteArray("G\xc3\xbc   ");
    QTest::newRow("code page bytes count one each") << QByteArray("Gr\xfc\xdf"
                                                                  "e!")
                                                    << QByteArray("x")
                                                    << QByteArray("Gr\xfc\xdf"
                                                                  "e");
    QTest::newRow("name in the code page decides")
        << QByteArray("\xc3\xbc") << QByteArray("Caf\xe9") << QByteArray("\xc3\xbc   ");
    QTest::newRow("overlong form is not utf-8")
        << QByteArray("\xc0\xafxyz") << QByteArray("x") << QByteArray("\xc0\xafxyz");
}

void TestBudget::dueLineEncodings()
{
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, column);
    const std::vector<DueEntry> due{{1, "2026-06-01", 10, type.toStdString(), name.toStdString()}};
    const std::string expected =
        "2026-06-01    10.00  " + column.toStdString() + name.toStdString();
    QCOMPARE(QByteArray::fromStdString(DueLines(due).front()), QByteArray::fromStdString(expected));
}

void TestBudget::sortedOrder_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("by date") << QStringList{"2026-06-20 x", "2026-06-01 y", "2025-12-31 z"}
                             << QList<int>{2, 1, 0};
    QTest::newRow("case folded, ties stable")
        << QStringList{"b", "A", "a", "B"} << QList<int>{1, 2, 0, 3};
    QTest::newRow("case decides nothing but order given")
        << QStringList{"2026-06-01    10.00  Sub  apple", "2026-06-01    10.00  Sub  Banana",
                       "2026-06-01    10.00  Sub  APPLE"}
        << QList<int>{0, 2, 1};
    QTest::newRow("shorter prefix first")
        << QStringList{"abc", "ab", "abcd"} << QList<int>{1, 0, 2};
    QTest::newRow("blank before digits")
        << QStringList{"2026-06-01 1,000.00", "2026-06-01    50.00"} << QList<int>{1, 0};
    QTest::newRow("letters fold to lower case")
        << QStringList{"a_", "A[", "AZ"} << QList<int>{1, 0, 2};
    QTest::newRow("bytes above ascii after letters")
        << QStringList{"\xc3\xa9t\xc3\xa9", "zoo"} << QList<int>{1, 0};
}

void TestBudget::sortedOrder()
{
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, order);
    std::vector<std::string> raw;
    for (const auto& line : lines)
        raw.push_back(line.toStdString());
    const auto sorted = SortedOrder(raw);
    QCOMPARE(QList<int>(sorted.begin(), sorted.end()), order);
    for (std::size_t k = 1; k < sorted.size(); ++k)
        QVERIFY(!TextLess(raw[sorted[k]], raw[sorted[k - 1]]));
}

// Two due payments appear in date order whatever their order in the file, each with its
// own record number.
void TestBudget::dueListSortsByDate()
{
    const auto records = Records({"Late|Sub|2026-06-20|10.00|1", "Other|Sub|2026-01-01|5.00|12",
                                  "Early|Sub|2026-06-01|20.00|1"});
    const BudgetFigures figures = Run(&Compute, records, 0);
    const auto lines = DueLines(figures.due);
    QCOMPARE(lines.size(), std::size_t(2));
    const auto order = SortedOrder(lines);
    QCOMPARE(QString::fromStdString(lines[order[0]]),
             QStringLiteral("2026-06-01    20.00  Sub  Early"));
    QCOMPARE(figures.due[order[0]].recordNumber, 3);
    QCOMPARE(QString::fromStdString(lines[order[1]]),
             QStringLiteral("2026-06-20    10.00  Sub  Late"));
    QCOMPARE(figures.due[order[1]].recordNumber, 1);
}

namespace {

// A random file as people keep them, and dates as they are typed by hand: one-digit and
// out-of-range months, long days, short and long years, leading zeros.
std::vector<std::string> RandomFile(std::mt19937& random, int todayYear, bool longPeriods)
{
    std::uniform_int_distribution<int> pick(0, 999);
    const int count = 200 + pick(random) % 300;
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        const int kind = pick(random);
        int duration = 1 + pick(random) % 36;
        if (kind < 40)
            duration = 120;
        else if (kind < 60)
            duration = 240;
        else if (kind < 70)
            duration = 2 + pick(random) % 500;
        else if (longPeriods && kind < 75)
            duration = 30000 + pick(random) % 2768;

        const int year = todayYear - 5 + pick(random) % 11;
        const int month = 1 + pick(random) % 12;
        const int day = 1 + pick(random) % 31;
        char date[48];
        const int form = pick(random);
        if (form < 850)
            std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, month, day);
        else if (form < 880)
            std::snprintf(date, sizeof date, "%d-%d-%d", year, month, day);
        else if (form < 900)
            std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, pick(random) % 100, day);
        else if (form < 920)
            std::snprintf(date, sizeof date, "%d-%02d-%02d", pick(random) % 100, month, day);
        else if (form < 935)
            std::snprintf(date, sizeof date, "%d-%02d-%02d", 9990 + pick(random) % 20, month, day);
        else if (form < 950)
            std::snprintf(date, sizeof date, "%05d-%03d-%04d", year, month, day);
        else if (form < 965)
            std::snprintf(date, sizeof date, "%04d-%02d-%d", year, month, pick(random) * 30);
        else if (form < 980)
            std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1 + pick(random) % 999, month, day);
        else
            std::snprintf(date, sizeof date, "%d-%02d-%02d", year + 5000, month, day);

        double amount = (pick(random) * 1000 + pick(random)) / 100.0;
        if (kind % 17 == 0)
            amount = -amount;
        char amountText[32];
        std::snprintf(amountText, sizeof amountText, "%.2f", amount);
        lines.push_back("N" + std::to_string(i) + "|T|" + date + "|" + amountText + "|" +
                        std::to_string(duration));
    }
    return lines;
}

} // namespace

// For random files the grouped computation gives what the plain loop gives: exactly for
// everything that is not summed per month, and within 1e-9 of the size of the sums for the
// totals (the grouping adds the same numbers in another order).
void TestBudget::groupedEqualsDirect()
{
    std::mt19937 random(20260615);
    std::uniform_int_distribution<int> pick(0, 999);
    int dueSeen = 0, skippedSeen = 0;
    for (int file = 0; file < 60; ++file) {
        const int todayYear = 2021 + pick(random) % 10;
        char today[16];
        std::snprintf(today, sizeof today, "%04d-%02d-%02d", todayYear, 1 + pick(random) % 12,
                      1 + pick(random) % 28);
        const auto parsed = ParseLines(RandomFile(random, todayYear, file % 15 == 0));
        QVERIFY(parsed.unusableLines.empty());
        const int horizon = LargestDuration(parsed.records, 120);
        double scale = 1;
        for (const auto& record : parsed.records)
            scale += std::fabs(record.amount);

        for (int round = 0; round < 3; ++round) {
            const int offset = round == 0 ? 0 : pick(random) * (horizon + 1) / 1000;
            const BudgetFigures fast = Run(&Compute, parsed.records, offset, horizon, today);
            const BudgetFigures direct =
                Run(&reference::Compute, parsed.records, offset, horizon, today);
            const auto context = QStringLiteral("file %1, today %2, offset %3")
                                     .arg(file)
                                     .arg(QString::fromLatin1(today))
                                     .arg(offset);
            const auto near = [scale](double a, double b) {
                return std::fabs(a - b) <= 1e-9 * std::max({scale, std::fabs(a), std::fabs(b)});
            };

            QVERIFY2(fast.shownMonth == direct.shownMonth, qPrintable(context));
            QVERIFY2(fast.dueMonthKey == direct.dueMonthKey, qPrintable(context));
            QVERIFY2(fast.skippedRecords == direct.skippedRecords, qPrintable(context));
            QVERIFY2(fast.monthlyRequired == direct.monthlyRequired, qPrintable(context));
            QVERIFY2(fast.billsDue == direct.billsDue, qPrintable(context));
            QVERIFY2(fast.due.size() == direct.due.size(), qPrintable(context));
            for (std::size_t k = 0; k < fast.due.size(); ++k) {
                const auto& a = fast.due[k];
                const auto& b = direct.due[k];
                QVERIFY2(a.recordNumber == b.recordNumber && a.effectiveDate == b.effectiveDate &&
                             a.amount == b.amount && a.type == b.type && a.name == b.name,
                         qPrintable(context + QStringLiteral(", due entry %1").arg(k)));
            }
            QVERIFY2(fast.monthTotals.size() == direct.monthTotals.size(), qPrintable(context));
            for (std::size_t i = 0; i < fast.monthTotals.size(); ++i) {
                QVERIFY2(near(fast.monthTotals[i], direct.monthTotals[i]),
                         qPrintable(context + QStringLiteral(", month %1: %2 vs %3")
                                                  .arg(i)
                                                  .arg(fast.monthTotals[i], 0, 'g', 17)
                                                  .arg(direct.monthTotals[i], 0, 'g', 17)));
            }
            QVERIFY2(near(fast.freedAmount, direct.freedAmount), qPrintable(context));
            QVERIFY2(near(fast.netRequirement, direct.netRequirement), qPrintable(context));
            QVERIFY2(near(fast.totalThisMonth, direct.totalThisMonth), qPrintable(context));
            dueSeen += int(fast.due.size());
            skippedSeen += int(fast.skippedRecords.size());
        }
    }
    // The files exercise both the listing and the skipping.
    QVERIFY(dueSeen > 1000);
    QVERIFY(skippedSeen > 100);
}

QTEST_GUILESS_MAIN(TestBudget)
#include "tst_budget.moc"
