// kestrow-report from the outside: the command is run on temporary data files and its
// text and JSON output are checked against the computation the main window uses.
#include "budget/budget.h"
#include "core/datastore.h"
#include "core/record.h"
#include "platform/textcodec.h"
#include "platform/version.h"

#include <QtTest>

#include <unistd.h>

using namespace kestrow;

namespace {

constexpr const char* kToday = "2026-06-15";

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result RunReport(const QStringList& arguments, const QString& program = KESTROW_REPORT)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    Result result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// What the window would compute for these file contents.
struct Expected
{
    BudgetFigures figures;
    BudgetLabels labels;
    std::vector<std::string> lines;
    int horizon = 0;
};

Expected Expect(const QByteArray& contents, int offset)
{
    const ParsedFile parsed = ParseLines(SplitLines(contents.toStdString()));
    Expected expected;
    expected.horizon = LargestDuration(parsed.records, 120);
    BudgetInput input;
    input.records = &parsed.records;
    input.todayDate = kToday;
    input.horizonMonths = static_cast<std::int16_t>(expected.horizon);
    input.monthOffset = static_cast<std::int16_t>(offset);
    expected.figures = Compute(input);
    expected.labels = MakeLabels(expected.figures);
    expected.lines = DueLines(expected.figures.due);
    return expected;
}

QString Text(const std::string& bytes)
{
    return platform::DecodeText(bytes);
}

QString Trimmed(const std::string& figure)
{
    return Text(figure).trimmed();
}

const QByteArray kExample = "June|Sub|2026-06-01|1,200.00|12\r\n"
                            "December|Sub|2026-12-01|1,200.00|12\r\n"
                            "Phone|Sub|2026-03-01|50.00|1\r\n"
                            "Earlier|Mem|2026-02-01|1,200.00|12\r\n"
                            "Big|SG|2025-06-01|250,000.00|240\r\n";

} // namespace

class TestReport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void text_data();
    void text();
    void json_data();
    void json();
    void warnings();
    void badInput_data();
    void badInput();
    void unreadableFile();
    void fileUnchanged();
    void defaultDataFile();
    void defaultToday();
    void helpAndVersion();

private:
    QString write(const QByteArray& contents, const QString& name = QStringLiteral("Kestrow.txt"));
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestReport::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

QString TestReport::write(const QByteArray& contents, const QString& name)
{
    const QString path = dir_->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestReport::text_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("offset");
    QTest::newRow("this month") << kExample << 0;
    QTest::newRow("half a year on") << kExample << 6;
    QTest::newRow("old payment due in february") << kExample << 8;
    QTest::newRow("last month of the raised horizon") << kExample << 240;
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("names sorted without case")
        << QByteArray("b|Sub|2026-06-01|5|1\r\nA|Sub|2026-06-01|5|1\r\nC\xe9|Sub|2026-06-01|5|1\r\n"
                      "a|Sub|2026-06-01|5|1")
        << 0;
}

// The four figures with their captions, the caption of the due list with its lines in the
// list's order, and the freed money.
void TestReport::text()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, offset);
    const QString path = write(contents);
    const Result result = RunReport({"--today", kToday, "--offset", QString::number(offset), path});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray());

    const Expected expected = Expect(contents, offset);
    const QStringList lines = QString::fromUtf8(result.out).split('\n');
    const std::pair<QString, std::string> figures[] = {
        {"Monthly amount required", expected.labels.monthlyRequired},
        {"Total amount this month", expected.labels.totalThisMonth},
        {"Bills due this month", expected.labels.billsDue},
        {"Net requirement is", expected.labels.netRequirement},
    };
    for (int k = 0; k < 4; ++k) {
        QVERIFY2(lines[k].startsWith(figures[k].first), qPrintable(lines[k]));
        QCOMPARE(lines[k].mid(figures[k].first.size()).trimmed(), Trimmed(figures[k].second));
    }
    QCOMPARE(lines[4], QString());
    QCOMPARE(lines[5], Text(expected.labels.dueCaption));
    const auto order = SortedOrder(expected.lines);
    int at = 6;
    for (const std::size_t i : order)
        QCOMPARE(lines[at++], Text(expected.lines[i]));
    QCOMPARE(lines[at++], QString());
    QCOMPARE(lines[at++], Text(expected.labels.chartCaption));
    QCOMPARE(lines[at++], QString());
    QCOMPARE(lines.size(), at);
}

void TestReport::json_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("offset");
    QTest::newRow("this month") << kExample << 0;
    QTest::newRow("old payment due in february") << kExample << 8;
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("thirds that need every digit")
        << QByteArray("Third|Sub|2026-06-01|100.00|3\r\nSeventh|Sub|2026-09-01|1.00|7\r\n") << 0;
    QTest::newRow("quotes, backslashes and control characters")
        << QByteArray("Say \"hi\" \\ back\ttab\x01|S\"|2026-06-01|5|1\r\n") << 0;
    QTest::newRow("code page bytes") << QByteArray("Caf\xe9 \x80|Mem|2026-06-01|5|1\r\n") << 0;
    QTest::newRow("utf-8") << QByteArray("Caf\xc3\xa9 \xe2\x82\xac|M\xc3\xbc|2026-06-01|5|1\r\n")
                           << 0;
}

// One object with exactly the documented keys; numbers read back to the same doubles.
void TestReport::json()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, offset);
    const QString path = write(contents);
    const Result result =
        RunReport({"--json", "--today", kToday, "--offset", QString::number(offset), path});
    QCOMPARE(result.exitCode, 0);

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(document.isObject());
    const QJsonObject object = document.object();
    QStringList keys = object.keys();
    keys.sort();
    QStringList documented{"today",          "horizonMonths",   "monthOffset", "shownMonth",
                           "dueMonthKey",    "monthlyRequired", "billsDue",    "freedAmount",
                           "netRequirement", "totalThisMonth",  "monthTotals", "due",
                           "labels"};
    documented.sort();
    QCOMPARE(keys, documented);

    const Expected expected = Expect(contents, offset);
    const BudgetFigures& figures = expected.figures;
    QCOMPARE(object["today"].toString(), QString(kToday));
    QCOMPARE(object["horizonMonths"].toInt(), expected.horizon);
    QCOMPARE(object["monthOffset"].toInt(), offset);
    QCOMPARE(object["shownMonth"].toString(), Text(figures.shownMonth));
    QCOMPARE(object["dueMonthKey"].toInt(), figures.dueMonthKey);
    QCOMPARE(object["monthlyRequired"].toDouble(), figures.monthlyRequired);
    QCOMPARE(object["billsDue"].toDouble(), figures.billsDue);
    QCOMPARE(object["freedAmount"].toDouble(), figures.freedAmount);
    QCOMPARE(object["netRequirement"].toDouble(), figures.netRequirement);
    QCOMPARE(object["totalThisMonth"].toDouble(), figures.totalThisMonth);

    const QJsonArray totals = object["monthTotals"].toArray();
    QCOMPARE(std::size_t(totals.size()), figures.monthTotals.size());
    for (qsizetype i = 0; i < totals.size(); ++i) {
        // Bit for bit: 17 significant digits read back to the same double.
        QVERIFY2(totals[i].toDouble() == figures.monthTotals[std::size_t(i)],
                 qPrintable(QString::number(i)));
    }

    const QJsonArray due = object["due"].toArray();
    QCOMPARE(std::size_t(due.size()), figures.due.size());
    for (qsizetype i = 0; i < due.size(); ++i) {
        const QJsonObject entry = due[i].toObject();
        const DueEntry& want = figures.due[std::size_t(i)];
        QStringList entryKeys = entry.keys();
        entryKeys.sort();
        QCOMPARE(entryKeys, (QStringList{"amount", "date", "line", "name", "record", "type"}));
        QCOMPARE(entry["record"].toInt(), want.recordNumber);
        QCOMPARE(entry["date"].toString(), Text(want.effectiveDate));
        QCOMPARE(entry["amount"].toDouble(), want.amount);
        QCOMPARE(entry["type"].toString(), Text(want.type + "|" + want.name).section('|', 0, 0));
        QCOMPARE(entry["name"].toString(), Text(want.type + "|" + want.name).section('|', 1));
        QCOMPARE(entry["line"].toString(), Text(expected.lines[std::size_t(i)]));
    }

    const QJsonObject labels = object["labels"].toObject();
    QStringList labelKeys = labels.keys();
    labelKeys.sort();
    QCOMPARE(labelKeys, (QStringList{"lab1", "lab2", "lab3", "lab4", "labE", "labF"}));
    QCOMPARE(labels["lab1"].toString(), Text(expected.labels.monthlyRequired));
    QCOMPARE(labels["lab2"].toString(), Text(expected.labels.totalThisMonth));
    QCOMPARE(labels["lab3"].toString(), Text(expected.labels.billsDue));
    QCOMPARE(labels["lab4"].toString(), Text(expected.labels.netRequirement));
    QCOMPARE(labels["labE"].toString(), Text(expected.labels.dueCaption));
    QCOMPARE(labels["labF"].toString(), Text(expected.labels.chartCaption));
}

// Lines that are not payments, and payments whose date cannot be placed, are reported one
// by one with their line numbers; the report goes on with the rest.
void TestReport::warnings()
{
    const QByteArray contents = "June|Sub|2026-06-01|1,200.00|12\r\n"
                                "not a payment\r\n"
                                "Old|Sub|26-06-01|100.00|12\r\n"
                                "A|B|2026-01-01|x|1\r\n"
                                "\r\n"
                                "Phone|Sub|2026-03-01|50.00|1\r\n";
    const QString path = write(contents);
    const Result result = RunReport({"--json", "--today", kToday, path});
    QCOMPARE(result.exitCode, 0);
    const QStringList warnings = QString::fromUtf8(result.err).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(warnings.size(), 4);
    QVERIFY(warnings[0].contains(QStringLiteral("line 2 ")));
    QVERIFY(warnings[1].contains(QStringLiteral("line 4 ")));
    QVERIFY(warnings[2].contains(QStringLiteral("line 5 ")));
    QVERIFY(warnings[3].contains(QStringLiteral("line 3 ")));
    QVERIFY(warnings[3].contains(QStringLiteral("four digits")));

    const QJsonObject object = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(object["monthlyRequired"].toDouble(), 150.0);
    const QJsonArray due = object["due"].toArray();
    QCOMPARE(due.size(), 2);
    QCOMPARE(due[0].toObject()["record"].toInt(), 1);
    QCOMPARE(due[1].toObject()["record"].toInt(), 6);
}

void TestReport::badInput_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE stands for a valid data file
    QTest::addColumn<QString>("message");

    QTest::newRow("missing file") << QStringList{"--today", kToday, "MISSING"}
                                  << "No such file or directory";
    QTest::newRow("directory") << QStringList{"--today", kToday, "DIR"} << "Is a directory";
    QTest::newRow("month 13") << QStringList{"--today", "2026-13-01", "FILE"} << "--today";
    QTest::newRow("february 30") << QStringList{"--today", "2026-02-30", "FILE"} << "--today";
    QTest::newRow("one-digit month") << QStringList{"--today", "2026-6-15", "FILE"} << "--today";
    QTest::newRow("words") << QStringList{"--today", "yesterday", "FILE"} << "--today";
    QTest::newRow("no value") << QStringList{"FILE", "--today"} << "today";
    QTest::newRow("offset beyond horizon")
        << QStringList{"--today", kToday, "--offset", "121", "FILE"} << "0 to 120";
    QTest::newRow("negative offset")
        << QStringList{"--today", kToday, "--offset", "-1", "FILE"} << "--offset";
    QTest::newRow("offset not a number")
        << QStringList{"--today", kToday, "--offset", "soon", "FILE"} << "--offset";
    QTest::newRow("offset beyond 32 bits")
        << QStringList{"--today", kToday, "--offset", "99999999999", "FILE"} << "--offset";
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "FILE"} << "frobnicate";
    QTest::newRow("two files") << QStringList{"--today", kToday, "FILE", "FILE"} << "one data file";
}

// A clear message on stderr, nothing on stdout, a non-zero exit.
void TestReport::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const QString file = write("June|Sub|2026-06-01|1,200.00|12\r\n");
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("folder")));
    for (auto& argument : arguments) {
        if (argument == QLatin1String("FILE"))
            argument = file;
        else if (argument == QLatin1String("MISSING"))
            argument = dir_->filePath(QStringLiteral("none.txt"));
        else if (argument == QLatin1String("DIR"))
            argument = dir_->filePath(QStringLiteral("folder"));
    }
    const Result result = RunReport(arguments);
    QVERIFY2(result.exitCode > 0, qPrintable(QString::number(result.exitCode)));
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.startsWith("kestrow-report: "), result.err.constData());
    QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
}

void TestReport::unreadableFile()
{
    if (::geteuid() == 0)
        QSKIP("the superuser can read any file");
    const QString path = write("June|Sub|2026-06-01|1,200.00|12\r\n");
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    const Result result = RunReport({"--today", kToday, path});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.contains("Permission denied"), result.err.constData());
}

// The report only reads: the file keeps its bytes and its time, and no lock or scratch
// file appears beside it.
void TestReport::fileUnchanged()
{
    const QString path = write(kExample);
    const QDateTime before = QFileInfo(path).lastModified();
    QTest::qWait(20); // so that a write would show in the time stamp
    QCOMPARE(RunReport({"--today", kToday, path}).exitCode, 0);
    QCOMPARE(RunReport({"--json", "--today", kToday, "--offset", "3", path}).exitCode, 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kExample);
    QCOMPARE(QFileInfo(path).lastModified(), before);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList{"Kestrow.txt"});
}

// Without FILE the report reads Kestrow.txt in its own folder, as Kestrow installed beside
// it would.
void TestReport::defaultDataFile()
{
    const QString program = dir_->filePath(QStringLiteral("kestrow-report"));
    QVERIFY(QFile::copy(QStringLiteral(KESTROW_REPORT), program));
    const Result missing = RunReport({"--today", kToday}, program);
    QCOMPARE(missing.exitCode, 1);
    QVERIFY2(missing.err.contains(QFile::encodeName(dir_->filePath("Kestrow.txt"))),
             missing.err.constData());

    write(kExample);
    const Result result = RunReport({"--json", "--today", kToday}, program);
    QCOMPARE(result.exitCode, 0);
    const QJsonObject object = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(object["monthlyRequired"].toDouble(), Expect(kExample, 0).figures.monthlyRequired);
}

void TestReport::defaultToday()
{
    const QString path = write(kExample);
    const QDate before = QDate::currentDate();
    const Result result = RunReport({"--json", path});
    const QDate after = QDate::currentDate();
    QCOMPARE(result.exitCode, 0);
    const QString today = QJsonDocument::fromJson(result.out).object()["today"].toString();
    QVERIFY2(today == before.toString(Qt::ISODate) || today == after.toString(Qt::ISODate),
             qPrintable(today));
}

void TestReport::helpAndVersion()
{
    const Result help = RunReport({"--help"});
    QCOMPARE(help.exitCode, 0);
    for (const char* option : {"--today", "--offset", "--json", "--version", "FILE"})
        QVERIFY2(help.out.contains(option), option);

    const Result version = RunReport({"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out.trimmed(), QByteArray("kestrow-report ") + kestrow::version::text);
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
