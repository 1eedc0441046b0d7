// kestrow-report from the outside: run on data files of the case's own, its output read
// as a script reads it.
#include "budget/budget.h"
#include "platform/version.h"
#include "testutil.h"

#include <QtTest>

using namespace kestrow;

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result Report(const QStringList& arguments, const QString& program = KESTROW_REPORT)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        process.kill();
    process.waitForFinished();
    const bool normal = process.exitStatus() == QProcess::NormalExit;
    return {normal ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

const QByteArray kTwoYearly = "Insurance|Sub|2026-06-01|1,200.00|12\r\n"
                              "Tax|Sub|2026-12-01|1,200.00|12\r\n";
const QByteArray kExample = kTwoYearly + "Phone|S\xc3\xbc|2026-03-01|50.00|1\r\n"
                                         "Caf\xe9|Mem|2026-02-01|1,200.00|12\r\n"
                                         "Big|\xc3\x9c|2025-06-01|250,000.00|240\r\n";

} // namespace

class TestReport : public QObject
{
    Q_OBJECT
private slots:
    void init() { folder_ = std::make_unique<tu::Folder>(); }
    void text_data();
    void text();
    void json();
    void warnings();
    void badInput_data();
    void badInput();
    void onlyReads();
    void defaults();
    void helpAndVersion();

private:
    std::unique_ptr<tu::Folder> folder_;
};

void TestReport::text_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<QString>("text");
    QTest::newRow("figures aligned, due list, freed money")
        << kTwoYearly << "0"
        << "Monthly amount required    200.00\nTotal amount this month  1,200.00\n"
           "Bills due this month     1,200.00\nNet requirement is            .00\n\n"
           "Payments due in 2026-06\n2026-06-01 1,200.00  Sub  Insurance\n\n"
           "Graph: $600.00 freed\n";
    QTest::newRow("lines sorted without case, decoded, on the raised horizon")
        << QByteArray("b|S|2026-06-01|5|1\r\nA|S|2026-06-01|5|240\r\nC\xe9|S|2026-06-01|5|1")
        << "240"
        << "Monthly amount required  10.02\nTotal amount this month  15.00\n"
           "Bills due this month     15.00\nNet requirement is         .00\n\n"
           "Payments due in 2046-06\n2026-06-01     5.00  S    A\n2026-06-01     5.00  S    b\n"
           "2026-06-01     5.00  S    C\u00e9\n\nGraph: $.00 freed\n";
    QTest::newRow("empty file") << QByteArray() << "0"
                                << "Monthly amount required  .00\nTotal amount this month  .00\n"
                                   "Bills due this month     .00\nNet requirement is       .00\n"
                                   "\nPayments due in 2026-06\n\nGraph: $.00 freed\n";
}

void TestReport::text()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, offset);
    QFETCH(QString, text);
    QVERIFY(folder_->write(contents));
    const Result r = Report({"--today", "2026-06-15", "--offset", offset, folder_->dataPath});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(QString::fromUtf8(r.out), text);
    QCOMPARE(r.exitCode, 0);
}

// One object with the main window's figures; numbers read back to the same doubles.
void TestReport::json()
{
    QVERIFY(folder_->write(kExample));
    const Result r = Report({"--json", "--today", "2026-06-15", "--offset", "8", folder_->dataPath});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(o.keys(), (QStringList{"billsDue", "due", "dueMonthKey", "freedAmount",
                                    "horizonMonths", "labels", "monthOffset", "monthTotals",
                                    "monthlyRequired", "netRequirement", "shownMonth", "today",
                                    "totalThisMonth"}));
    const ParsedFile parsed = ParseLines(SplitLines(kExample.toStdString()));
    const BudgetFigures f = Compute({&parsed.records, "2026-06-15", 240, 8});
    QCOMPARE(o["today"].toString(), QStringLiteral("2026-06-15"));
    QCOMPARE(o["horizonMonths"].toInt(), 240);
    QCOMPARE(o["monthOffset"].toInt(), 8);
    QCOMPARE(o["shownMonth"].toString(), QStringLiteral("2027-02"));
    QCOMPARE(o["dueMonthKey"].toInt(), 20270299);
    QCOMPARE(o["monthlyRequired"].toDouble(), f.monthlyRequired);
    QCOMPARE(o["billsDue"].toDouble(), 1200.0 + 50.0);
    QCOMPARE(o["freedAmount"].toDouble(), f.freedAmount);
    QCOMPARE(o["netRequirement"].toDouble(), f.netRequirement);
    QCOMPARE(o["totalThisMonth"].toDouble(), f.totalThisMonth);
    const QJsonArray totals = o["monthTotals"].toArray();
    QCOMPARE(totals.size(), 241);
    for (qsizetype i = 0; i < totals.size(); ++i)
        QVERIFY2(totals[i].toDouble() == f.monthTotals[std::size_t(i)], qPrintable(QString::number(i)));
    QCOMPARE(o["due"].toArray(),
             (QJsonArray{QJsonObject{{"record", 3}, {"date", "2026-06-01"}, {"amount", 50},
                                     {"type", "S\u00fc"}, {"name", "Phone"},
                                     {"line", "2026-06-01    50.00  S\u00fc   Phone"}},
                         QJsonObject{{"record", 4}, {"date", "2026-02-01"}, {"amount", 1200},
                                     {"type", "Mem"}, {"name", "Caf\u00e9"},
                                     {"line", "2026-02-01 1,200.00  Mem  Caf\u00e9"}}}));
    const QJsonObject labels = o["labels"].toObject();
    QCOMPARE(labels.keys(), (QStringList{"lab1", "lab2", "lab3", "lab4", "labE", "labF"}));
    QCOMPARE(labels["lab3"].toString(), QStringLiteral("1,250.00 "));
    QCOMPARE(labels["labE"].toString(), QStringLiteral("Payments due in 2027-02"));
}

// Lines that are no payment, then payments no month can place, each reported with its
// number; the report goes on with the rest.
void TestReport::warnings()
{
    QVERIFY(folder_->write("June|S|2026-06-01|1,200.00|12\r\nnot a payment\r\nOld|S|26-06-01|1|12"
                           "\r\nA|B|2026-01-01|x|1\r\n\r\nPhone|S|2026-03-01|50.00|1\r\n"));
    const Result r = Report({"--json", "--today", "2026-06-15", folder_->dataPath});
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = QString::fromUtf8(r.err).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(lines[i].contains(QStringLiteral("line %1 ").arg("2453"[i])), qPrintable(lines[i]));
    QVERIFY(lines[3].contains(QStringLiteral("four digits")));
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(o["monthlyRequired"].toDouble(), 150.0);
    QCOMPARE(o["due"].toArray().size(), 2);
}

void TestReport::badInput_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE: a sound data file
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("exitCode");
    const auto row = [](const char* name, const QStringList& args, const char* message, int code) {
        QTest::newRow(name) << args << QString(message) << code;
    };
    row("missing file", {"--today", "2026-06-15", "MISSING"}, "No such file or directory", 1);
    row("a folder", {"--today", "2026-06-15", "DIR"}, "Is a directory", 1);
    row("month 13", {"--today", "2026-13-01", "FILE"}, "--today", 2);
    row("february 30", {"--today", "2026-02-30", "FILE"}, "--today", 2);
    row("one-digit month", {"--today", "2026-6-15", "FILE"}, "--today", 2);
    row("words for today", {"--today", "yesterday", "FILE"}, "--today", 2);
    row("today without a value", {"FILE", "--today"}, "today", 2);
    row("offset beyond the horizon", {"--today", "2026-06-15", "--offset", "121", "FILE"},
        "0 to 120", 2);
    row("negative offset", {"--offset", "-1", "FILE"}, "--offset", 2);
    row("offset not a number", {"--offset", "soon", "FILE"}, "--offset", 2);
    row("offset beyond 32 bits", {"--offset", "99999999999", "FILE"}, "--offset", 2);
    row("unknown option", {"--frobnicate", "FILE"}, "frobnicate", 2);
    row("two files", {"FILE", "FILE"}, "one data file", 2);
}

// A clear message on stderr, nothing on stdout, and the exit code of its kind.
void TestReport::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QFETCH(int, exitCode);
    QVERIFY(folder_->write(kTwoYearly));
    QVERIFY(QDir(folder_->dir.path()).mkdir("folder"));
    arguments.replaceInStrings(QRegularExpression("^FILE$"), folder_->dataPath);
    arguments.replaceInStrings(QRegularExpression("^MISSING$"), folder_->dir.filePath("none"));
    arguments.replaceInStrings(QRegularExpression("^DIR$"), folder_->dir.filePath("folder"));
    const Result r = Report(arguments);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.startsWith("kestrow-report: ") && r.err.contains(message.toUtf8()),
             r.err.constData());
    QCOMPARE(r.exitCode, exitCode);
}

// The file keeps its bytes and its time, nothing appears beside it, and a file it may not
// read is reported.
void TestReport::onlyReads()
{
    QVERIFY(folder_->write(kExample));
    const QDateTime before = QFileInfo(folder_->dataPath).lastModified();
    QTest::qWait(20); // so that a write would show in the time stamp
    QCOMPARE(Report({"--today", "2026-06-15", folder_->dataPath}).exitCode, 0);
    QCOMPARE(Report({"--json", "--offset", "3", folder_->dataPath}).exitCode, 0);
    QCOMPARE(folder_->bytes(), kExample);
    QCOMPARE(QFileInfo(folder_->dataPath).lastModified(), before);
    QCOMPARE(QDir(folder_->dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{"Kestrow.txt"});
    if (::geteuid() == 0)
        QSKIP("the superuser can read any file");
    QVERIFY(QFile::setPermissions(folder_->dataPath, QFileDevice::WriteOwner));
    const Result r = Report({folder_->dataPath});
    QVERIFY2(r.exitCode == 1 && r.err.contains("Permission denied"), r.err.constData());
}

// Without FILE the report reads Kestrow.txt in its own folder; without --today, the clock.
void TestReport::defaults()
{
    const QString program = folder_->dir.filePath("kestrow-report");
    QVERIFY(QFile::copy(KESTROW_REPORT, program));
    const Result missing = Report({}, program);
    QVERIFY2(missing.exitCode == 1 && missing.err.contains(QFile::encodeName(folder_->dataPath)),
             missing.err.constData());
    QVERIFY(folder_->write(kTwoYearly));
    const QString before = QDate::currentDate().toString(Qt::ISODate);
    const QJsonObject o = QJsonDocument::fromJson(Report({"--json"}, program).out).object();
    QCOMPARE(o["monthlyRequired"].toDouble(), 200.0);
    QVERIFY(o["today"].toString() == before ||
            o["today"].toString() == QDate::currentDate().toString(Qt::ISODate));
}

void TestReport::helpAndVersion()
{
    const Result help = Report({"--help"});
    QCOMPARE(help.exitCode, 0);
    for (const char* option : {"--today", "--offset", "--json", "--version", "FILE"})
        QVERIFY2(help.out.contains(option), option);
    const Result version = Report({"--version"});
    QCOMPARE(version.out.trimmed(), QByteArray("kestrow-report ") + kestrow::version::text);
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
