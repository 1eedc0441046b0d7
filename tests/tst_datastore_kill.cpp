// Kestrow killed at any moment: a child keeps changing the data file (appends, replacements,
// deletions, and rewrites spread over several calls as the edit form makes them) and
// announces each change before it starts and again once the store reports it done. It is
// killed with SIGKILL at random moments; each time the next start-up must find every
// acknowledged change, the one under way either whole or not at all, and only whole lines.
#include "core/datastore.h"
#include "testutil.h"

#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <random>

using namespace kestrow;

namespace {

constexpr int kRounds = 300;
constexpr unsigned kRandomStart = 20260301; // fixed, so a failure can be repeated

std::string Record(long id, unsigned cents)
{
    return "Rec " + std::to_string(id) + "|Sub|2026-03-01|" + std::to_string(cents / 100) + "." +
           std::to_string(cents % 100 / 10) + std::to_string(cents % 10) + "|12";
}

void Say(int fd, const std::string& message) // one write below PIPE_BUF: never torn
{
    [[maybe_unused]] auto n = ::write(fd, message.data(), message.size());
}

// Applies an announced change ("A line", "R n line", "D n m") to the lines.
void Apply(const std::string& change, std::vector<std::string>& lines)
{
    const char kind = change[0];
    if (kind == 'A') {
        lines.push_back(change.substr(2));
        return;
    }
    std::size_t end = 0;
    const auto first = std::size_t(std::stoi(change.substr(2), &end));
    if (kind == 'R') {
        lines.at(first - 1) = change.substr(3 + end);
        return;
    }
    const auto second = std::size_t(std::stoi(change.substr(3 + end)));
    lines.erase(lines.begin() + long(std::max(first, second) - 1));
    if (first != second)
        lines.erase(lines.begin() + long(std::min(first, second) - 1));
}

// The changing Kestrow; it never returns, and exits with 2 on a change the store refused.
[[noreturn]] void ChangeForever(const tu::Folder& f, int out, unsigned start, long id)
{
    DataStore store(f.data, f.temp);
    if (!store.open())
        ::_exit(1);
    std::vector<std::string> lines = store.readLines();
    Say(out, "S\n");
    std::mt19937 random(start);
    for (;;) {
        const unsigned choice = random() % 10;
        const auto n = std::int32_t(1 + random() % lines.size());
        std::string change;
        if (lines.size() < 4 || (choice < 4 && lines.size() < 40))
            change = "A " + Record(id++, random() % 500000);
        else if (choice < 7)
            change = "R " + std::to_string(n) + " " + Record(id++, random() % 500000);
        else
            change = "D " + std::to_string(n) + " " + std::to_string(1 + random() % lines.size());
        Say(out, change + "\n");
        Status done;
        if (change[0] == 'A') {
            done = store.append(change.substr(2));
        } else if (change[0] == 'D') {
            done = store.rewriteDeleting({n, std::stoi(change.substr(change.rfind(' ')))});
        } else if (choice == 6) {
            Rewrite rewrite = store.beginRewrite();
            rewrite.copyUntil(n);
            rewrite.writeLine(change.substr(change.find(' ', 2) + 1));
            rewrite.copyRest();
            done = rewrite.complete();
        } else {
            done = store.rewriteReplacing(n, change.substr(change.find(' ', 2) + 1));
        }
        if (!done)
            ::_exit(2);
        Apply(change, lines);
        Say(out, "K\n");
    }
}

QByteArray Show(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return QByteArray::fromStdString(out);
}

} // namespace

class TestDataStoreKill : public QObject
{
    Q_OBJECT
private slots:
    void acknowledgedChangesSurviveKill();
};

void TestDataStoreKill::acknowledgedChangesSurviveKill()
{
    tu::Folder f;
    std::vector<std::string> expected;
    for (long id = 1; id <= 5; ++id)
        expected.push_back(Record(id, unsigned(id * 1234)));
    QVERIFY(f.write(Show(expected).replace("\n", "\r\n")));
    const QRegularExpression wellFormed("^Rec \\d+\\|Sub\\|2026-03-01\\|\\d+\\.\\d\\d\\|12$");
    std::mt19937 random(kRandomStart);
    int acknowledged = 0;
    for (int round = 0; round < kRounds; ++round) {
        const QByteArray where = "round " + QByteArray::number(round);
        const unsigned childStart = random();
        const auto delay = std::uniform_int_distribution<long>(0, 6000)(random);
        const tu::Child child = tu::Fork([&](int out) {
            ::fcntl(out, F_SETPIPE_SZ, 1 << 20); // room for every message without blocking
            ChangeForever(f, out, childStart, (round + 1) * 1000000L);
        });
        // The clock starts once the child has opened the store, so the kill falls among
        // its changes rather than during its start.
        char started = 0;
        QVERIFY2(::read(child.out, &started, 1) == 1 && started == 'S', where.constData());
        const struct timespec pause = {0, delay * 1000};
        ::nanosleep(&pause, nullptr);
        ::kill(child.pid, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child.pid, &status, 0), child.pid);
        QVERIFY2(WIFSIGNALED(status), where.constData()); // not ended by a refused change

        // Acknowledged changes must be there; the one under way may or may not be.
        std::string pending;
        for (const QByteArray& message : tu::ReadAll(child.out).mid(1).split('\n')) {
            if (message == "K") {
                Apply(pending, expected);
                pending.clear();
                ++acknowledged;
            } else if (!message.isEmpty()) {
                pending = message.toStdString();
            }
        }
        std::vector<std::string> alternative = expected;
        if (!pending.empty())
            Apply(pending, alternative);

        DataStore store(f.data, f.temp);
        const Status opened = store.open();
        QVERIFY2(opened, (where + ": " + opened.message.c_str()).constData());
        QVERIFY2(!f.scratch(), where.constData());
        const std::vector<std::string> lines = store.readLines();
        for (const std::string& line : lines)
            QVERIFY2(wellFormed.match(QString::fromStdString(line)).hasMatch(),
                     (where + ": torn line " + line.c_str()).constData());
        // Every line ends with CR LF: no bare CR or LF is left inside a line.
        QCOMPARE(f.bytes().count("\r\n"), qsizetype(lines.size()));
        QCOMPARE(f.bytes().endsWith("\r\n"), !lines.empty());
        QVERIFY2(lines == expected || lines == alternative,
                 (where + ": file\n" + Show(lines) + "expected\n" + Show(expected) + "or with " +
                  pending.c_str())
                     .constData());
        expected = lines;
    }
    QVERIFY(acknowledged > 0); // without one, the test would have proved nothing
}

QTEST_GUILESS_MAIN(TestDataStoreKill)
#include "tst_datastore_kill.moc"
