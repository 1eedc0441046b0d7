// kestrow-report from the outside: run on data files of the case's own, its output read
// as a script reads it.
#include "platform/version.h"
#include "testutil.h"

namespace {

// Exit code, then what went to stdout, then what went to stderr.
std::tuple<int, QByteArray, QByteArray> Report(const QStringList& args,
                                               const QString& program = KESTROW_REPORT)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

const QByteArray kTwoYearly =
    "Insurance|Sub|2026-06-01|1,200.00|12\r\nTax|Sub|2026-12-01|1200|12\r\n";

} // namespace

class TestReport : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Folder> f;

private slots:
    void init() { f = std::make_unique<tu::Folder>(); }

    void text_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("offset");
        QTest::addColumn<QString>("text");
        QTest::newRow("figures aligned, due list, freed money")
            << kTwoYearly << "0"
            << "Monthly amount required    200.00\nTotal amount this month  1,200.00\n"
               "Bills due this month     1,200.00\nNet requirement is            .00\n\n"
               "Payments due in 2026-06\n2026-06-01 1,200.00  Sub  Insurance\n\nGraph: $600.00 "
               "freed\n";
        QTest::newRow("lines sorted without case, decoded, on the raised horizon")
            << QByteArray("b|S|2026-06-01|5|1\r\nA|S|2026-06-01|5|240\r\nC\xe9|S|2026-06-01|5|1")
            << "240"
            << "Monthly amount required  10.02\nTotal amount this month  15.00\n"
               "Bills due this month     15.00\nNet requirement is         .00\n\n"
               "Payments due in 2046-06\n2026-06-01     5.00  S    A\n2026-06-01     5.00  S    b\n"
               "2026-06-01     5.00  S    C\u00e9\n\nGraph: $.00 freed\n";
    }
    void text()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, offset);
        QFETCH(QString, text);
        QVERIFY(f->write(contents));
        const auto [code, out, err] =
            Report({"--today", "2026-06-15", "--offset", offset, f->dataPath});
        QCOMPARE(err + out, text.toUtf8());
        QCOMPARE(code, 0);
    }

    // The figures as one object, numbers to the last bit; lines no month can use are
    // reported on stderr one by one, the broken ones first, and left out.
    void json()
    {
        QVERIFY(f->write(kTwoYearly +
                         "not a payment\r\nOld|S|26-06-01|1|12\r\nA|B|2026-01-01|x|1\r\n"
                         "Phone|S\xc3\xbc|2026-03-01|50.00|1\r\nCaf\xe9|M|2026-02-01|600|12"));
        const auto [code, out, err] =
            Report({"--json", "--today", "2026-06-15", "--offset", "8", f->dataPath});
        QCOMPARE(code, 0);
        QStringList warned;
        for (const QByteArray& line : err.split('\n'))
            warned << QString(line).section(": line ", 1, 1).section(' ', 0, 0);
        QCOMPARE(warned, (QStringList{"3", "5", "4", ""}));
        QVERIFY(err.contains("four digits"));
        const QJsonObject o = QJsonDocument::fromJson(out).object();
        QCOMPARE(o.keys(),
                 (QStringList{"billsDue", "due", "dueMonthKey", "freedAmount", "horizonMonths",
                              "labels", "monthOffset", "monthTotals", "monthlyRequired",
                              "netRequirement", "shownMonth", "today", "totalThisMonth"}));
        QCOMPARE(
            QJsonDocument(o["labels"].toObject()).toJson(QJsonDocument::Compact),
            QByteArray(R"({"lab1":"300.00 ","lab2":"850.00 ","lab3":"650.00 ","lab4":"200.00 ",)"
                       R"("labE":"Payments due in 2027-02","labF":"Graph: $800.00 freed"})"));
        QCOMPARE(
            QJsonDocument(o["due"].toArray()).toJson(QJsonDocument::Compact),
            QByteArray(
                R"([{"amount":50,"date":"2026-06-01","line":"2026-06-01    50.00  Sü   Phone",)"
                R"("name":"Phone","record":6,"type":"Sü"},{"amount":600,"date":"2026-02-01",)"
                R"("line":"2026-02-01   600.00  M    Café","name":"Café","record":7,"type":"M"}])"));
        QCOMPARE(o["today"].toString() + o["shownMonth"].toString(),
                 QStringLiteral("2026-06-152027-02"));
        QCOMPARE(o["horizonMonths"].toInt() + o["monthOffset"].toInt() + o["dueMonthKey"].toInt(),
                 20270427);
        const QJsonArray totals = o["monthTotals"].toArray();
        QCOMPARE(totals.size(), 121);
        QCOMPARE(totals[0].toDouble() + totals[5].toDouble() + totals[8].toDouble(),
                 800 + 2050 + 1000.0);
        QCOMPARE(o["monthlyRequired"].toDouble() + o["freedAmount"].toDouble(), 300 + 800.0);
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args"); // FILE: a sound data file
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("code");
        const auto row = [](const char* name, const QStringList& args, const char* message,
                            int code) { QTest::newRow(name) << args << QString(message) << code; };
        row("missing file", {"MISSING"}, "No such file or directory", 1);
        row("a folder", {"DIR"}, "Is a directory", 1);
        for (const char* today : {"2026-13-01", "2026-02-30", "2026-6-15", "yesterday"})
            row(today, {"--today", today, "FILE"}, "--today", 2);
        row("today without a value", {"FILE", "--today"}, "today", 2);
        row("offset beyond the horizon", {"--offset", "121", "FILE"}, "0 to 120", 2);
        for (const char* offset : {"-1", "soon", "99999999999"})
            row(offset, {"--offset", offset, "FILE"}, "--offset", 2);
        row("unknown option", {"--frobnicate", "FILE"}, "frobnicate", 2);
        row("two files", {"FILE", "FILE"}, "one data file", 2);
    }
    // A clear message on stderr, nothing on stdout, and the exit code of its kind.
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QFETCH(int, code);
        QVERIFY(f->write(kTwoYearly) && QDir(f->dir.path()).mkdir("folder"));
        args.replaceInStrings(QRegularExpression("^FILE$"), f->dataPath);
        args.replaceInStrings("MISSING", f->dir.filePath("none"))
            .replaceInStrings("DIR", f->dir.filePath("folder"));
        const auto [status, out, err] = Report(args);
        QVERIFY2(out.isEmpty() && err.startsWith("kestrow-report: ") &&
                     err.contains(message.toUtf8()),
                 err.constData());
        QCOMPARE(status, code);
    }

    // The file keeps its bytes and its time, and nothing appears beside it. Without FILE the
    // report reads Kestrow.txt in its own folder; without --today, the clock.
    void onlyReadsAndDefaults()
    {
        const QString program = f->dir.filePath("kestrow-report");
        QVERIFY(QFile::copy(KESTROW_REPORT, program));
        QVERIFY(std::get<2>(Report({}, program)).contains(f->dataPath.toUtf8()));
        QVERIFY(f->write(kTwoYearly));
        const QDateTime before = QFileInfo(f->dataPath).lastModified();
        QTest::qWait(20); // so that a write would show in the time stamp
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const QJsonObject o =
            QJsonDocument::fromJson(std::get<1>(Report({"--json"}, program))).object();
        QCOMPARE(o["monthlyRequired"].toDouble(), 200.0);
        QVERIFY(o["today"] == today || o["today"] == QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(f->bytes(), kTwoYearly);
        QCOMPARE(QFileInfo(f->dataPath).lastModified(), before);
        QCOMPARE(QDir(f->dir.path()).entryList(QDir::Files),
                 (QStringList{"kestrow-report", "Kestrow.txt"}));
        QVERIFY(QFile::setPermissions(f->dataPath, QFileDevice::WriteOwner));
        if (::geteuid() != 0) // the superuser reads any file
            QVERIFY(std::get<2>(Report({f->dataPath})).contains("Permission denied"));
    }

    void helpAndVersion()
    {
        const QByteArray help = std::get<1>(Report({"--help"}));
        for (const char* option : {"--today", "--offset", "--json", "--version", "FILE"})
            QVERIFY2(help.contains(option), option);
        QCOMPARE(std::get<1>(Report({"--version"})).trimmed(),
                 QByteArray("kestrow-report ") + kestrow::version::text);
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
