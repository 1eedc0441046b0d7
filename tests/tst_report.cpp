// kestrow-report from the outside: run on data files of the case's own, read as a script would.
#include "testutil.h"

#include <QScopeGuard>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

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

// The README's sample: on 2026-06-15 the pot needs 2,031.74, its need beyond the 1,207.88
// freed is 0 first in 2028-04, and 1,543.865 is set aside a month.
const QByteArray kSample =
    "Car insurance|Sub|2026-03-01|1,234.50|12\r\nRent|Sub|2026-06-01|950.00|1\r\n"
    "Streaming|Sub|2026-06-12|15.99|1\r\nGym|Mem|2026-01-15|420.00|12\r\n"
    "Holiday|SG|2027-07-01|2,400.00|24\r\nWater|Sub|2026-08-01|90.00|3\r\n"
    "Property tax|Sub|2026-10-01|1,800.00|6\r\nCaf\xc3\xa9 club|Mem|"
    "2026-06-20|60.00|6\r\n";

} // namespace

class TestReport : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Folder> f;

private slots:
    void init() { f = std::make_unique<tu::Folder>(); }

    // Figures aligned, due list sorted without case and decoded; the file keeps its bytes, a
    // conflict copy is named. Without FILE, a build tree's tools/ reads ../Kestrow.txt.
    void text()
    {
        const QByteArray contents = kTwoYearly + "b|S|2026-06-01|5|1\r\nC\xe9|S|2026-06-01|5|1";
        const QString copy = f->dir.filePath("Kestrow.sync-conflict-20261207-143012-ABCDEF1.txt");
        const QString built = f->dir.filePath("tools/kestrow-report");
        QVERIFY(f->write(contents) && QDir().mkpath(f->dir.filePath("tools")));
        QVERIFY(QFile::copy(KESTROW_REPORT, built) &&
                QFile::copy(KESTROW_REPORT, f->dir.filePath("kestrow")));
        QVERIFY(tu::WriteFile(copy, kTwoYearly + "Bus|Sub|2026-07-01|40|1\n"));
        // --today as the record forms take a date: month and day may have one digit.
        const auto [code, out, err] = Report({"--today", "2026-6-15", f->dataPath});
        QCOMPARE(err + out,
                 "kestrow-report: " + copy.toUtf8() +
                     ": a conflict copy of the data file, left out of this report (lines only "
                     "in it: 1, only in the data file: 2, differing in part: 0); Kestrow offers "
                     "to merge it\n"
                     "Monthly amount required    210.00\nTotal amount this month  1,210.00\n"
                     "Bills due this month     1,210.00\nNet requirement is            .00\n\n"
                     "Payments due in 2026-06\n2026-06-01     5.00  S    b\n"
                     "2026-06-01     5.00  S    C\xc3\xa9\n2026-06-01 1,200.00  Sub  Insurance\n\n"
                     "Graph: $600.00 freed\n");
        const QJsonObject o =
            QJsonDocument::fromJson(std::get<1>(Report({"--json"}, built))).object();
        QVERIFY(code == 0 && o["monthlyRequired"] == 210 &&
                o["today"].toString().startsWith(QDate::currentDate().toString("yyyy-")));
        QCOMPARE(f->bytes(), contents);
        QCOMPARE(QDir(f->dir.path()).entryList(QDir::Files),
                 (QStringList{"kestrow", "Kestrow.sync-conflict-20261207-143012-ABCDEF1.txt",
                              "Kestrow.txt"}));
    }

    // The verdict closes the text report; --json adds it as figures, every key present
    // though on track.
    void pot()
    {
        QVERIFY(f->write(kSample));
        const QStringList args{"--today", "2026-06-15", "--pot", "2,100", f->dataPath};
        const auto [code, out, err] = Report(args);
        const QByteArray verdict = "The pot holds 2,100.00 and needs 2,031.74 now: 68.26 to spare.";
        QVERIFY2(code == 0 && out.endsWith("freed\n\n" + verdict + "\n"), out.constData());
        const QJsonObject o =
            QJsonDocument::fromJson(std::get<1>(Report(args + QStringList{"--json"}))).object();
        QCOMPARE(QJsonDocument(o["pot"].toObject()).toJson(QJsonDocument::Compact),
                 QByteArray(R"({"catchUpMonthly":0,"catchUpMonths":0,"difference":68.26,)"
                            R"("holds":2100,"newMonthly":1543.865,"required":2031.74,)"
                            R"("shortMonth":null,"topUpNow":0})"));
    }

    // The calendar holds each payment on its day (the 31st cut in short months) with its
    // reminder, and its separators escaped; the month table a row for each month.
    void exports()
    {
        QVERIFY(f->write("Rent|Hou|2026-06-01|950.00|1\r\nTom, Anna & Co|G,;|2026-11-30|1,300.00|"
                         "12\r\nCaf\xe9 old|Mem|2026-08-31|10.00|6\r\n"));
        const QStringList today{"--today", "2026-06-15", f->dataPath};
        const auto [code, calendar, err] =
            Report(QStringList{"--ics", "--months", "9", "--remind", "3"} + today);
        QStringList events; // the start and summary of each
        for (const QByteArray& line : calendar.split('\n')) {
            if (line.startsWith("DTSTART;VALUE=DATE:"))
                events << line.mid(19).trimmed();
            if (line.startsWith("SUMMARY:") && !events.isEmpty())
                events.last() += " " + line.mid(8).trimmed();
        }
        const QString rent = " Rent 950.00";
        QCOMPARE(events,
                 QStringList({"20260601" + rent, "20260701" + rent, "20260801" + rent,
                              "20260831 Caf\u00e9 old 10.00", "20260901" + rent, "20261001" + rent,
                              "20261101" + rent, "20261130 Tom\\, Anna & Co 1\\,300.00",
                              "20261201" + rent, "20270101" + rent, "20270201" + rent,
                              "20270228 Caf\u00e9 old 10.00", "20270301" + rent}));
        QVERIFY(code == 0 && calendar.count("TRIGGER:-P3D\r\n") == events.size());
        QVERIFY(calendar.contains("\r\nCATEGORIES:G\\,\\;\r\n"));
        const QByteArray table = std::get<1>(Report(QStringList{"--csv"} + today));
        QVERIFY2(table.startsWith("month,pot,due,payments,setAside\r\n"
                                  "2026-06,765.00,950.00,1,1060.00\r\n") &&
                     table.contains("\r\n2026-11,5.00,2250.00,2,1060.00\r\n") &&
                     table.count("\r\n") == 122,
                 table.constData());
        // A calendar that cannot be written all is a failure, not a short file.
        QProcess full;
        full.setStandardOutputFile("/dev/full");
        full.start(KESTROW_REPORT, QStringList{"--ics", "--months", "1200"} + today);
        QVERIFY(full.waitForFinished(60000));
        QVERIFY(full.exitCode() != 0 && full.readAllStandardError().contains("cannot write"));
    }

    // Help is asked for, not a mistake: a script checking the exit code must see success.
    void helpSucceeds()
    {
        const auto [code, out, err] = Report({"--help"});
        QVERIFY2(code == 0 && out.contains("--pot"), err.constData());
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
        // In one line, not a warning for each of its lines.
        row("no line a payment", {"--ics", "NOISE"}, "is not a Kestrow data file", 1);
        row("day beyond the month", {"--today", "2026-02-32", "FILE"}, "--today", 2);
        row("offset beyond the horizon", {"--offset", "121", "FILE"}, "0 to 120", 2);
        row("months beyond 1200", {"--ics", "--months", "1201", "FILE"}, "--months '1201'", 2);
        row("two exports", {"--csv", "--json", "FILE"}, "cannot be combined", 2);
        row("remind without calendar", {"--csv", "--remind", "3", "FILE"}, "only to --ics", 2);
        // The pot: refused in one line.
        row("pot negative", {"--pot", "-5", "FILE"}, "--pot '-5'", 2);
        row("pot with offset", {"--pot", "5", "--offset", "0", "FILE"}, "--pot cannot", 2);
    }
    // A clear message on stderr, nothing on stdout, and the exit code of its kind.
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QFETCH(int, code);
        QVERIFY(f->write(kTwoYearly));
        args.replaceInStrings("FILE", f->dataPath)
            .replaceInStrings("MISSING", f->dir.filePath("x"));
        args.replaceInStrings("DIR", f->dir.path());
        args.replaceInStrings("NOISE", KESTROW_REPORT); // bytes of every value, many lines
        const auto [status, out, err] = Report(args);
        QVERIFY2(out.isEmpty() && err.startsWith("kestrow-report: ") &&
                     err.contains(message.toUtf8()) && err.count('\n') <= 2,
                 err.constData());
        QCOMPARE(status, code);
        if (message.startsWith("--pot"))
            QCOMPARE(err.count('\n'), 1);
    }

    void dataFolder_data()
    {
        QTest::addColumn<int>("mode");       // of the program's folder
        QTest::addColumn<bool>("link");      // one at the data file's name, leading nowhere
        QTest::addColumn<QString>("xdg");    // XDG_DATA_HOME, "~" for the case's home
        QTest::addColumn<QString>("home");   // HOME, "~/f" a plain file
        QTest::addColumn<QString>("looked"); // the folder it looked in
        const auto row = [](const char* name, int mode, bool link, const char* xdg,
                            const char* home, const char* looked) {
            QTest::newRow(name) << mode << link << QString(xdg) << QString(home) << QString(looked);
        };
        row("a folder that can be written", 0777, false, "", "~", "PROGRAM");
        row("a folder that cannot, with a link", 0555, true, "~/data", "~", "PROGRAM");
        row("a folder that cannot", 0555, false, "~/data", "~", "~/data/Kestrow");
        row("no XDG_DATA_HOME", 0555, false, "", "~", "~/.local/share/Kestrow");
        row("a relative XDG_DATA_HOME", 0555, false, "data", "~", "~/.local/share/Kestrow");
        row("a home that is no folder", 0555, false, "", "~/f", "");
    }
    // Without FILE: beside the program when anything is there or it can be written, else the
    // user's data folder. Run through a link from a folder that is not UTF-8; root as nobody.
    void dataFolder()
    {
        QFETCH(int, mode);
        QFETCH(bool, link);
        QFETCH(QString, xdg);
        QFETCH(QString, home);
        QFETCH(QString, looked);
        const QByteArray top = QFile::encodeName(f->dir.path()), program = top + "/program \xff";
        // QTemporaryDir cannot remove a name that is not UTF-8.
        const auto removeProgram =
            qScopeGuard([&program] { std::filesystem::remove_all(program.toStdString()); });
        const QString own = f->dir.filePath("home");
        QVERIFY(::mkdir(program, 0755) == 0 && QDir().mkpath(own) && tu::WriteFile(own + "/f", ""));
        std::filesystem::copy_file(KESTROW_REPORT, (program + "/kestrow-report").toStdString());
        QVERIFY(!link || ::symlink(top + "/gone", program + "/Kestrow.txt") == 0);
        QVERIFY(::symlink(program + "/kestrow-report", top + "/report") == 0);
        QVERIFY(::chmod(top, 0755) == 0 && ::chmod(QFile::encodeName(own), 0777) == 0 &&
                ::chmod(program, mode_t(mode)) == 0);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.replace("~", own));
        environment.remove("XDG_DATA_HOME");
        if (!xdg.isEmpty())
            environment.insert("XDG_DATA_HOME", xdg.replace("~", own));
        QProcess report;
        report.setProcessEnvironment(environment);
        if (::geteuid() == 0)
            report.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(99);
            });
        report.start(f->dir.filePath("report"), {"--today", "2026-06-15"});
        QVERIFY(report.waitForFinished(60000));
        const QString said = report.readAllStandardError();
        looked.replace("PROGRAM", QFile::decodeName(program)).replace("~", own);
        QVERIFY2(looked.isEmpty() ? said.contains("cannot find Kestrow's data folder")
                                  : said.contains("cannot read " + looked + "/Kestrow.txt: "),
                 qPrintable(said));
        QCOMPARE(report.exitCode(), 1);
    }

    // Installed among the system's commands and run by root, who could write there, it still
    // looks for the payments in the user's data folder.
    void systemFolderAsRoot()
    {
        if (::geteuid() != 0)
            QSKIP("only root can put a program under /usr/");
        QTemporaryDir installed("/usr/local/lib/kestrow-test-XXXXXX");
        if (!installed.isValid())
            QSKIP("/usr/local/lib cannot be written on this machine");
        const QString program = installed.filePath("kestrow-report");
        std::filesystem::copy_file(KESTROW_REPORT, program.toStdString());
        const QByteArray xdg = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(f->dir.path()));
        const auto [code, out, said] = Report({"--today", "2026-06-15"}, program);
        if (xdg.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", xdg);
        const QString looked = f->dir.filePath("Kestrow/Kestrow.txt");
        QVERIFY2(said.contains("cannot read " + looked.toUtf8() + ": "), said.constData());
        QCOMPARE(code, 1);
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
