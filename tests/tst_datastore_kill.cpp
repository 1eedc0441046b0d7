// Kestrow killed at any moment: a child process keeps changing the data file (appends,
// replacements, deletions) and reports every change the store acknowledged; it is killed
// with SIGKILL at random moments, and each time start-up must find every acknowledged
// change and nothing but whole, well-formed lines.
#include "core/datastore.h"
#include "datastore_testutil.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

using namespace kestrow;
using namespace storetest;

namespace {

constexpr int kRounds = 300;
constexpr unsigned kRandomStart = 20260301; // fixed, so a failure can be repeated
constexpr int kMaxDelayMicroseconds = 6000;

std::string record(long id, unsigned cents)
{
    const unsigned frac = cents % 100;
    return "Rec " + std::to_string(id) + "|Sub|2026-03-01|" + std::to_string(cents / 100) + "." +
           (frac < 10 ? "0" : "") + std::to_string(frac) + "|12";
}

void say(int fd, const std::string& message)
{
    // One write of less than PIPE_BUF bytes: the parent never sees half a message.
    [[maybe_unused]] auto n = ::write(fd, message.data(), message.size());
}

// The changing Kestrow. Every change is announced before it starts ("A line", "R n line",
// "D n m") and acknowledged with "K" once the store reports it done. Never returns.
[[noreturn]] void changeForever(const std::string& data, const std::string& temp, int out,
                                unsigned randomStart, long firstId)
{
    DataStore store(data, temp);
    const Status opened = store.open();
    if (!opened) {
        say(out, "E " + opened.message + "\n");
        ::_exit(1);
    }
    std::vector<std::string> lines = store.readLines();
    say(out, "S\n");
    std::mt19937 rng(randomStart);
    long id = firstId;
    for (;;) {
        const unsigned choice = rng() % 10;
        Status done;
        if (lines.size() < 4 || (choice < 4 && lines.size() < 40)) {
            const std::string line = record(id++, rng() % 500000);
            say(out, "A " + line + "\n");
            done = store.append(line);
            if (done)
                lines.push_back(line);
        } else if (choice < 7) {
            const auto n = std::int32_t(1 + rng() % lines.size());
            const std::string line = record(id++, rng() % 500000);
            say(out, "R " + std::to_string(n) + " " + line + "\n");
            if (choice == 6) {
                // The way the edit form does it, spread over several calls.
                Rewrite rewrite = store.beginRewrite();
                rewrite.copyUntil(n);
                rewrite.writeLine(line);
                rewrite.copyRest();
                done = rewrite.active() ? rewrite.complete() : rewrite.startStatus();
            } else {
                done = store.rewriteReplacing(n, line);
            }
            if (done)
                lines[std::size_t(n) - 1] = line;
        } else {
            auto first = std::int32_t(1 + rng() % lines.size());
            auto second = std::int32_t(1 + rng() % lines.size());
            say(out, "D " + std::to_string(first) + " " + std::to_string(second) + "\n");
            done = store.rewriteDeleting({first, second});
            if (done) {
                if (first < second)
                    std::swap(first, second);
                lines.erase(lines.begin() + (first - 1));
                if (second != first)
                    lines.erase(lines.begin() + (second - 1));
            }
        }
        if (!done) {
            say(out, "F " + done.message + "\n");
            ::_exit(2);
        }
        say(out, "K\n");
    }
}

// Applies an announced change to the expected lines.
bool applyChange(const QByteArray& message, std::vector<std::string>& lines)
{
    const QList<QByteArray> parts = message.split(' ');
    if (message.startsWith("A ")) {
        lines.push_back(bytes(message.mid(2)));
        return true;
    }
    if (message.startsWith("R ") && parts.size() >= 3) {
        const int n = parts[1].toInt();
        if (n < 1 || std::size_t(n) > lines.size())
            return false;
        lines[std::size_t(n) - 1] = bytes(message.mid(3 + parts[1].size()));
        return true;
    }
    if (message.startsWith("D ") && parts.size() == 3) {
        int first = parts[1].toInt();
        int second = parts[2].toInt();
        if (first < second)
            std::swap(first, second);
        if (second < 1 || std::size_t(first) > lines.size())
            return false;
        lines.erase(lines.begin() + (first - 1));
        if (second != first)
            lines.erase(lines.begin() + (second - 1));
        return true;
    }
    return false;
}

QByteArray readLine(int fd)
{
    QByteArray line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line.append(c);
    return line;
}

QByteArray readRest(int fd)
{
    QByteArray out;
    char buf[8192];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            out.append(buf, n);
    return out;
}

QByteArray show(const std::vector<std::string>& lines)
{
    QByteArray out;
    for (const auto& line : lines)
        out += bytes(line) + "\n";
    return out;
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
    QTemporaryDir dir;
    const std::string data = dir.filePath(QStringLiteral("Kestrow.txt")).toStdString();
    const std::string temp = dir.filePath(QStringLiteral("xyzzy.tmp")).toStdString();
    std::vector<std::string> expected;
    for (long id = 1; id <= 5; ++id)
        expected.push_back(record(id, unsigned(id * 1234)));
    QByteArray initial;
    for (const auto& line : expected)
        initial += bytes(line) + "\r\n";
    QVERIFY(writeFile(data, initial));

    const QRegularExpression wellFormed(
        QStringLiteral("^Rec \\d+\\|Sub\\|2026-03-01\\|\\d+\\.\\d\\d\\|12$"));
    std::mt19937 rng(kRandomStart);
    int acknowledged = 0;
    int interrupted = 0;
    int interruptedButDone = 0;

    for (int round = 0; round < kRounds; ++round) {
        const QByteArray where = "round " + QByteArray::number(round) + " with random start " +
                                 QByteArray::number(kRandomStart);
        const unsigned childStart = rng();
        const auto delay = std::uniform_int_distribution<int>(0, kMaxDelayMicroseconds)(rng);
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20); // room for every message without blocking
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            ::close(fds[0]);
            changeForever(data, temp, fds[1], childStart, long(round + 1) * 1000000);
        }
        ::close(fds[1]);
        // The clock starts once the child has opened the store, so the kill falls among its
        // changes rather than during its start.
        const QByteArray started = readLine(fds[0]);
        if (started == "S") {
            const struct timespec pause
            {
                0, long(delay) * 1000
            };
            ::nanosleep(&pause, nullptr);
        }
        ::kill(pid, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        const QByteArray messages = readRest(fds[0]);
        ::close(fds[0]);
        QVERIFY2(started == "S", (where + ": " + started).constData());

        // Acknowledged changes must be there; the one under way may or may not be.
        std::optional<QByteArray> pending;
        for (const QByteArray& message : messages.split('\n')) {
            if (message.isEmpty())
                continue;
            QVERIFY2(!message.startsWith("F "), (where + ": " + message).constData());
            if (message == "K") {
                QVERIFY2(pending && applyChange(*pending, expected), where.constData());
                pending.reset();
                ++acknowledged;
            } else {
                pending = message;
            }
        }
        std::vector<std::string> alternative = expected;
        const bool maybeDone = pending && applyChange(*pending, alternative);

        DataStore store(data, temp);
        const Status opened = store.open();
        QVERIFY2(opened, (where + ": " + bytes(opened.message)).constData());
        QVERIFY2(!present(temp), where.constData());
        const QByteArray contents = readFile(data);
        QVERIFY2(contents.isEmpty() || contents.endsWith("\r\n"), where.constData());
        const std::vector<std::string> lines = store.readLines();
        for (const auto& line : lines) {
            QVERIFY2(wellFormed.match(QString::fromStdString(line)).hasMatch(),
                     (where + ": torn line " + bytes(line)).constData());
        }
        // Every line ends with CR LF: no line has a bare CR or LF left inside it.
        QCOMPARE(contents.count("\r\n"), qsizetype(lines.size()));
        if (pending)
            ++interrupted;
        if (lines == expected)
            continue;
        QVERIFY2(maybeDone && lines == alternative,
                 (where + ": file\n" + show(lines) + "expected\n" + show(expected) +
                  (pending ? "or with " + *pending : QByteArray()))
                     .constData());
        expected = alternative;
        ++interruptedButDone;
    }
    qInfo("%d acknowledged changes; %d kills during a change, %d of which had finished it",
          acknowledged, interrupted, interruptedButDone);
    // Without a single acknowledged change the test would have proved nothing.
    QVERIFY(acknowledged > 0);
}

QTEST_GUILESS_MAIN(TestDataStoreKill)
#include "tst_datastore_kill.moc"
