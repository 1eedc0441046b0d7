// The data file: reading, appending, rewriting through the scratch file, the lock against a
// second Kestrow, start-up recovery, links planted at the scratch name and permissions.
#include "core/datastore.h"
#include "datastore_testutil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrow;
using namespace storetest;

namespace {

const QByteArray kCar = "Car insurance|Sub|2026-03-01|1,234.50|12";

// Bytes of a literal that may hold NUL bytes.
template <std::size_t N> QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// One folder with the data file and the scratch file paths of a store inside it.
struct Folder
{
    QTemporaryDir dir;
    std::string data = dir.filePath(QStringLiteral("Kestrow.txt")).toStdString();
    std::string temp = dir.filePath(QStringLiteral("xyzzy.tmp")).toStdString();

    QStringList entries() const
    {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

QByteArrayList toList(const std::vector<std::string>& lines)
{
    QByteArrayList out;
    for (const auto& line : lines)
        out << bytes(line);
    return out;
}

} // namespace

class TestDataStore : public QObject
{
    Q_OBJECT
private slots:
    void splitLines_data();
    void splitLines();
    void readLines_data();
    void readLines();
    void openCreatesAnEmptyDataFile();
    void openFailures_data();
    void openFailures();

    void append_data();
    void append();
    void appendRefusesALineBreak();

    void replace_data();
    void replace();
    void remove_data();
    void remove();
    void missingRecordIsRefused_data();
    void missingRecordIsRefused();

    void spreadRewriteHoldsTheLinesBefore();
    void unfinishedRewriteLeavesTheFile_data();
    void unfinishedRewriteLeavesTheFile();
    void spreadRewriteOfTheLastRecord();
    void copyUntilBeyondTheEnd();
    void oneRewriteAtATime();
    void lineBreakInRewriteIsRefused();

    void secondStoreIsRefused();

    void recovery_data();
    void recovery();
    void linkAtScratchNameIsNeverRestored();

    void plantedLink_data();
    void plantedLink();

    void permissionsSurvive_data();
    void permissionsSurvive();
};

void TestDataStore::splitLines_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "b"};
    QTest::newRow("CR") << QByteArray("a\rb\r") << QByteArrayList{"a", "b"};
    QTest::newRow("LF") << QByteArray("a\nb\n") << QByteArrayList{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd\r\n") << QByteArrayList{"a", "b", "c", "d"};
    QTest::newRow("no final line end") << QByteArray("a\r\nlast") << QByteArrayList{"a", "last"};
    QTest::newRow("single line without end") << QByteArray("a") << QByteArrayList{"a"};
    QTest::newRow("blank line kept")
        << QByteArray("a\r\n\r\nb\r\n") << QByteArrayList{"a", "", "b"};
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("line end only") << QByteArray("\r\n") << QByteArrayList{""};
    QTest::newRow("odd bytes kept") << raw("n\0ul|\xff\xfe|x\r\ncaf\xe9\r\n")
                                    << QByteArrayList{raw("n\0ul|\xff\xfe|x"), "caf\xe9"};
}

void TestDataStore::splitLines()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(toList(SplitLines(std::string_view(contents.constData(), contents.size()))), lines);
}

void TestDataStore::readLines_data()
{
    splitLines_data();
}

void TestDataStore::readLines()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArrayList, lines);
    Folder f;
    QVERIFY(writeFile(f.data, contents));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    QCOMPARE(store.length(), contents.size());
    QCOMPARE(toList(store.readLines()), lines);
    // Every reading starts again from the first line.
    QCOMPARE(toList(store.readLines()), lines);
    std::vector<std::string> checked;
    QVERIFY(store.readLines(checked));
    QCOMPARE(toList(checked), lines);
}

void TestDataStore::openCreatesAnEmptyDataFile()
{
    Folder f;
    const mode_t old = ::umask(022);
    DataStore store(f.data, f.temp);
    const Status st = store.open();
    ::umask(old);
    QVERIFY2(st, st.message.c_str());
    QVERIFY(store.isOpen());
    QCOMPARE(store.length(), 0);
    QCOMPARE(readFile(f.data), QByteArray());
    QCOMPARE(permissions(f.data), mode_t(0644));
    QVERIFY(store.recoveryNote().empty());
    QCOMPARE(f.entries(), QStringList{"Kestrow.txt"});
}

void TestDataStore::openFailures_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("dataIsFolder");
    QTest::addColumn<QString>("named");
    QTest::newRow("folder missing") << "missing" << false << "missing";
    QTest::newRow("data file is a folder")
        << "" << true
        << QStringLiteral("Kestrow.txt: ") + QString::fromLocal8Bit(std::strerror(EISDIR));
}

void TestDataStore::openFailures()
{
    QFETCH(QString, folder);
    QFETCH(bool, dataIsFolder);
    QFETCH(QString, named);
    Folder f;
    const QString base = folder.isEmpty() ? f.dir.path() : f.dir.filePath(folder);
    const std::string data = (base + "/Kestrow.txt").toStdString();
    if (dataIsFolder)
        QCOMPARE(::mkdir(data.c_str(), 0755), 0);
    DataStore store(data, (base + "/xyzzy.tmp").toStdString());
    const Status st = store.open();
    QVERIFY(!st);
    QVERIFY(!store.isOpen());
    QVERIFY2(st.message.find(named.toStdString()) != std::string::npos, st.message.c_str());
    // The failed start-up holds no lock.
    if (dataIsFolder) {
        QCOMPARE(::rmdir(data.c_str()), 0);
        QVERIFY(store.open());
    }
}

void TestDataStore::append_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray added = "Gym|Mem|2026-04-15|.50|1";
    QTest::newRow("after the example record") << kCar + "\r\n" << kCar + "\r\n" + added + "\r\n";
    QTest::newRow("empty file") << QByteArray() << added + "\r\n";
    QTest::newRow("missing final line end") << kCar << kCar + "\r\n" + added + "\r\n";
    QTest::newRow("ends with CR") << kCar + "\r" << kCar + "\r" + added + "\r\n";
    QTest::newRow("ends with LF") << kCar + "\n" << kCar + "\n" + added + "\r\n";
    QTest::newRow("odd bytes before")
        << raw("x\0\xff|y\r\n") << raw("x\0\xff|y\r\n") + added + "\r\n";
}

void TestDataStore::append()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    Folder f;
    QVERIFY(writeFile(f.data, before));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    const Status st = store.append("Gym|Mem|2026-04-15|.50|1");
    QVERIFY2(st, st.message.c_str());
    QCOMPARE(readFile(f.data), after);
    // The read handle sees the new record as the last line.
    const auto lines = store.readLines();
    QVERIFY(!lines.empty());
    QCOMPARE(bytes(lines.back()), QByteArray("Gym|Mem|2026-04-15|.50|1"));
    QCOMPARE(store.length(), after.size());
    QVERIFY(!present(f.temp));
}

void TestDataStore::appendRefusesALineBreak()
{
    Folder f;
    QVERIFY(writeFile(f.data, kCar + "\r\n"));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    for (const char* line : {"A|B|2026-01-01|1.00|1\r\nX", "A\nB", "A\rB"}) {
        const Status st = store.append(line);
        QVERIFY(!st);
        QVERIFY(st.message.find(f.data) != std::string::npos);
    }
    QCOMPARE(readFile(f.data), kCar + "\r\n");
}

void TestDataStore::replace_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("middle") << QByteArray("a\r\nb\r\nc\r\n") << 2 << QByteArray("B")
                            << QByteArray("a\r\nB\r\nc\r\n");
    QTest::newRow("first") << QByteArray("a\r\nb\r\nc\r\n") << 1 << QByteArray("A")
                           << QByteArray("A\r\nb\r\nc\r\n");
    QTest::newRow("last") << QByteArray("a\r\nb\r\nc\r\n") << 3 << QByteArray("C")
                          << QByteArray("a\r\nb\r\nC\r\n");
    QTest::newRow("only record") << kCar + "\r\n"
                                 << 1 << QByteArray("x|y|2027-03-01|1.00|12")
                                 << QByteArray("x|y|2027-03-01|1.00|12\r\n");
    QTest::newRow("LF file gets CR LF")
        << QByteArray("a\nb\nc\n") << 2 << QByteArray("B") << QByteArray("a\r\nB\r\nc\r\n");
    QTest::newRow("CR file gets CR LF")
        << QByteArray("a\rb\r") << 1 << QByteArray("A") << QByteArray("A\r\nb\r\n");
    QTest::newRow("last line without end")
        << QByteArray("a\r\nb") << 1 << QByteArray("A") << QByteArray("A\r\nb\r\n");
    QTest::newRow("sixth field and odd bytes kept")
        << raw("N\0|T|2026-01-01|1.00|1|extra\r\nx\r\ncaf\xe9|\xff\xfe|2026-01-01|.50|3\r\n") << 2
        << QByteArray("y")
        << raw("N\0|T|2026-01-01|1.00|1|extra\r\ny\r\ncaf\xe9|\xff\xfe|2026-01-01|.50|3\r\n");
    QTest::newRow("new line with odd bytes")
        << QByteArray("a\r\n") << 1 << raw("\xe9\0|z") << raw("\xe9\0|z\r\n");
}

void TestDataStore::replace()
{
    QFETCH(QByteArray, before);
    QFETCH(int, number);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, after);
    Folder f;
    QVERIFY(writeFile(f.data, before));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    const Status st = store.rewriteReplacing(number, bytes(line));
    QVERIFY2(st, st.message.c_str());
    QCOMPARE(readFile(f.data), after);
    QVERIFY(!present(f.temp));
    // The read handle follows the new file.
    QVERIFY(store.isOpen());
    QCOMPARE(store.length(), after.size());
    QCOMPARE(toList(store.readLines()), toList(SplitLines(bytes(after))));
}

void TestDataStore::remove_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("first of three renumbers the rest")
        << QByteArray("a\r\nb\r\nc\r\n") << QList<int>{1} << QByteArray("b\r\nc\r\n");
    QTest::newRow("last") << QByteArray("a\r\nb\r\nc\r\n") << QList<int>{3}
                          << QByteArray("a\r\nb\r\n");
    QTest::newRow("any order with duplicates")
        << QByteArray("a\r\nb\r\nc\r\nd\r\ne\r\n") << QList<int>{4, 2, 4, 2}
        << QByteArray("a\r\nc\r\ne\r\n");
    QTest::newRow("every record leaves an empty file")
        << QByteArray("a\r\nb\r\n") << QList<int>{2, 1} << QByteArray();
    QTest::newRow("LF file gets CR LF")
        << QByteArray("a\nb\nc") << QList<int>{2} << QByteArray("a\r\nc\r\n");
    QTest::newRow("odd bytes kept") << raw("\xff\0|1\r\nx\r\nx|y|z|w|v|sixth\r\n") << QList<int>{2}
                                    << raw("\xff\0|1\r\nx|y|z|w|v|sixth\r\n");
}

void TestDataStore::remove()
{
    QFETCH(QByteArray, before);
    QFETCH(QList<int>, numbers);
    QFETCH(QByteArray, after);
    Folder f;
    QVERIFY(writeFile(f.data, before));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    const Status st = store.rewriteDeleting({numbers.begin(), numbers.end()});
    QVERIFY2(st, st.message.c_str());
    QCOMPARE(readFile(f.data), after);
    QVERIFY(!present(f.temp));
    QCOMPARE(store.length(), after.size());
    QCOMPARE(toList(store.readLines()), toList(SplitLines(bytes(after))));
}

void TestDataStore::missingRecordIsRefused_data()
{
    QTest::addColumn<bool>("deleting");
    QTest::addColumn<int>("number");
    QTest::newRow("replace beyond the end") << false << 4;
    QTest::newRow("replace zero") << false << 0;
    QTest::newRow("replace negative") << false << -1;
    QTest::newRow("delete beyond the end") << true << 4;
    QTest::newRow("delete zero") << true << 0;
}

void TestDataStore::missingRecordIsRefused()
{
    QFETCH(bool, deleting);
    QFETCH(int, number);
    Folder f;
    const QByteArray before = "a\r\nb\nc";
    QVERIFY(writeFile(f.data, before));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    const Status st =
        deleting ? store.rewriteDeleting({1, number}) : store.rewriteReplacing(number, "x");
    QVERIFY(!st);
    QVERIFY(!st.message.empty());
    QCOMPARE(readFile(f.data), before);
    QVERIFY(!present(f.temp));
    QVERIFY(store.rewriteReplacing(1, "A")); // the store is still usable
}

void TestDataStore::spreadRewriteHoldsTheLinesBefore()
{
    Folder f;
    QVERIFY(writeFile(f.data, "a\nb\r\nc\rd"));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    Rewrite rewrite = store.beginRewrite();
    QVERIFY2(rewrite.active(), rewrite.startStatus().message.c_str());
    const auto line = rewrite.copyUntil(3);
    QVERIFY(line);
    QCOMPARE(bytes(*line), QByteArray("c"));
    // While the edit form is shown, the scratch file already holds the lines before.
    QCOMPARE(readFile(f.temp), QByteArray("a\r\nb\r\n"));
    QCOMPARE(readFile(f.data), QByteArray("a\nb\r\nc\rd"));
    rewrite.writeLine("C");
    rewrite.copyRest();
    const Status st = rewrite.complete();
    QVERIFY2(st, st.message.c_str());
    QVERIFY(!rewrite.active());
    QCOMPARE(readFile(f.data), QByteArray("a\r\nb\r\nC\r\nd\r\n"));
    QVERIFY(!present(f.temp));
    QVERIFY(!rewrite.complete()); // a finished rewrite cannot complete twice
    QCOMPARE(readFile(f.data), QByteArray("a\r\nb\r\nC\r\nd\r\n"));
}

void TestDataStore::unfinishedRewriteLeavesTheFile_data()
{
    QTest::addColumn<int>("ending");
    QTest::newRow("abandon") << 0;
    QTest::newRow("destroyed") << 1;
    QTest::newRow("store closed") << 2;
}

void TestDataStore::unfinishedRewriteLeavesTheFile()
{
    QFETCH(int, ending);
    Folder f;
    const QByteArray before = kCar + "\nb\r\nc";
    QVERIFY(writeFile(f.data, before));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    {
        Rewrite rewrite = store.beginRewrite();
        QVERIFY(rewrite.copyUntil(2));
        rewrite.writeLine("changed");
        QVERIFY(present(f.temp));
        if (ending == 0)
            rewrite.abandon();
        if (ending == 2)
            store.close();
        if (ending != 1) {
            QVERIFY(!rewrite.active());
            QVERIFY(!present(f.temp));
            QVERIFY(!rewrite.complete());
        }
    }
    QCOMPARE(readFile(f.data), before);
    QVERIFY(!present(f.temp));
    QCOMPARE(f.entries(), QStringList{"Kestrow.txt"});
    if (ending != 2)
        QVERIFY(store.rewriteReplacing(3, "C")); // a new rewrite may start
}

void TestDataStore::spreadRewriteOfTheLastRecord()
{
    Folder f;
    QVERIFY(writeFile(f.data, "a\r\nb\r\nc\r\n"));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    Rewrite rewrite = store.beginRewrite();
    const auto line = rewrite.copyUntil(3);
    QVERIFY(line);
    QCOMPARE(bytes(*line), QByteArray("c"));
    rewrite.writeLine("C|with|sixth|field|1|x");
    rewrite.copyRest();
    QVERIFY(!rewrite.copyLine());
    QVERIFY(!rewrite.skipLine());
    QVERIFY(rewrite.complete());
    QCOMPARE(readFile(f.data), QByteArray("a\r\nb\r\nC|with|sixth|field|1|x\r\n"));
}

void TestDataStore::copyUntilBeyondTheEnd()
{
    Folder f;
    QVERIFY(writeFile(f.data, "a\nb"));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    Rewrite rewrite = store.beginRewrite();
    QVERIFY(!rewrite.copyUntil(3));
    QCOMPARE(readFile(f.temp), QByteArray("a\r\nb\r\n")); // every line has been copied
    rewrite.abandon();
    QCOMPARE(readFile(f.data), QByteArray("a\nb"));
}

void TestDataStore::oneRewriteAtATime()
{
    Folder f;
    QVERIFY(writeFile(f.data, "a\r\nb\r\n"));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    Rewrite first = store.beginRewrite();
    QVERIFY(first.copyUntil(1));
    Rewrite second = store.beginRewrite();
    QVERIFY(!second.active());
    QVERIFY(!second.startStatus());
    QVERIFY(!second.complete());
    QVERIFY(!store.rewriteDeleting({1}));
    // An append now would be lost when the rewrite's file replaces this one.
    QVERIFY(!store.append("c"));
    // The refused ones did not disturb the one in progress.
    Rewrite moved(std::move(first));
    moved.writeLine("A");
    moved.copyRest();
    QVERIFY(moved.complete());
    QCOMPARE(readFile(f.data), QByteArray("A\r\nb\r\n"));
}

void TestDataStore::lineBreakInRewriteIsRefused()
{
    Folder f;
    QVERIFY(writeFile(f.data, "a\r\nb\r\n"));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    const Status st = store.rewriteReplacing(1, "x\r\ny");
    QVERIFY(!st);
    QVERIFY(st.message.find("line break") != std::string::npos);
    QCOMPARE(readFile(f.data), QByteArray("a\r\nb\r\n"));
    QVERIFY(!present(f.temp));
}

void TestDataStore::secondStoreIsRefused()
{
    Folder f;
    QVERIFY(writeFile(f.data, "a\r\n"));
    DataStore first(f.data, f.temp);
    QVERIFY(first.open());
    DataStore second(f.data, f.temp);
    const Status st = second.open();
    QVERIFY(!st);
    QVERIFY(!second.isOpen());
    QVERIFY2(st.message.find("already running") != std::string::npos, st.message.c_str());
    QVERIFY(st.message.find(f.data) != std::string::npos);
    // The lock is on the folder itself: no lock file appears.
    QCOMPARE(f.entries(), QStringList{"Kestrow.txt"});
    first.close();
    const Status again = second.open();
    QVERIFY2(again, again.message.c_str());
    QCOMPARE(toList(second.readLines()), QByteArrayList{"a"});
}

void TestDataStore::recovery_data()
{
    QTest::addColumn<QByteArray>("data");    // "<none>": no data file
    QTest::addColumn<QByteArray>("scratch"); // "<none>": no scratch file
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("noted");
    const QByteArray none = "<none>";
    QTest::newRow("scratch restored") << none << kCar + "\r\nb\r\n" << kCar + "\r\nb\r\n" << true;
    QTest::newRow("partial last line cut off")
        << none << QByteArray("a\r\nb\r\nc|Su") << QByteArray("a\r\nb\r\n") << true;
    QTest::newRow("only a partial line") << none << QByteArray("c|Su") << QByteArray() << true;
    QTest::newRow("empty scratch") << none << QByteArray() << QByteArray() << true;
    QTest::newRow("both present: stale scratch removed")
        << QByteArray("a\r\n") << QByteArray("x\r\ny") << QByteArray("a\r\n") << false;
    QTest::newRow("neither: empty data file") << none << none << QByteArray() << false;
    QTest::newRow("data file only") << QByteArray("a\nb") << none << QByteArray("a\nb") << false;
}

void TestDataStore::recovery()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, scratch);
    QFETCH(QByteArray, expected);
    QFETCH(bool, noted);
    Folder f;
    if (data != "<none>")
        QVERIFY(writeFile(f.data, data));
    if (scratch != "<none>")
        QVERIFY(writeFile(f.temp, scratch));
    DataStore store(f.data, f.temp);
    const Status st = store.open();
    QVERIFY2(st, st.message.c_str());
    QCOMPARE(readFile(f.data), expected);
    QVERIFY(!present(f.temp));
    QCOMPARE(!store.recoveryNote().empty(), noted);
    if (noted)
        QVERIFY(store.recoveryNote().find(f.data) != std::string::npos);
    QCOMPARE(toList(store.readLines()), toList(SplitLines(bytes(expected))));
}

void TestDataStore::linkAtScratchNameIsNeverRestored()
{
    Folder f;
    QTemporaryDir outside;
    const std::string victim = outside.filePath(QStringLiteral("victim")).toStdString();
    QVERIFY(writeFile(victim, "secret\r\n"));
    QCOMPARE(::symlink(victim.c_str(), f.temp.c_str()), 0);
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    QVERIFY(store.recoveryNote().empty());
    QVERIFY(!present(f.temp));
    QCOMPARE(readFile(f.data), QByteArray());
    QVERIFY(store.append("a"));
    QCOMPARE(readFile(victim), QByteArray("secret\r\n"));
}

void TestDataStore::plantedLink_data()
{
    QTest::addColumn<bool>("dangling");
    QTest::addColumn<bool>("deleting");
    QTest::newRow("to a victim, replace") << false << false;
    QTest::newRow("to a victim, delete") << false << true;
    QTest::newRow("dangling, replace") << true << false;
    QTest::newRow("dangling, delete") << true << true;
}

void TestDataStore::plantedLink()
{
    QFETCH(bool, dangling);
    QFETCH(bool, deleting);
    Folder f;
    QTemporaryDir outside;
    const std::string target = outside.filePath(QStringLiteral("target")).toStdString();
    if (!dangling)
        QVERIFY(writeFile(target, "victim\r\n", 0666));
    QVERIFY(writeFile(f.data, "a\r\nb\r\n"));
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    // Planted after start-up, right where the next rewrite will create its scratch file.
    QCOMPARE(::symlink(target.c_str(), f.temp.c_str()), 0);

    // Removing the link and creating a fresh file is within the folder's rights, so the
    // rewrite goes ahead, inside the folder.
    const Status st = deleting ? store.rewriteDeleting({1}) : store.rewriteReplacing(1, "A");
    QVERIFY2(st, st.message.c_str());
    QCOMPARE(readFile(f.data), deleting ? QByteArray("b\r\n") : QByteArray("A\r\nb\r\n"));
    QCOMPARE(present(target), !dangling);
    if (!dangling)
        QCOMPARE(readFile(target), QByteArray("victim\r\n"));
    const QStringList outsideEntries =
        QDir(outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QCOMPARE(outsideEntries, dangling ? QStringList{} : QStringList{"target"});
    QVERIFY(!present(f.temp));
    struct stat st2 = {};
    QCOMPARE(::lstat(f.data.c_str(), &st2), 0);
    QVERIFY(S_ISREG(st2.st_mode));
}

void TestDataStore::permissionsSurvive_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0640") << 0640;
    QTest::newRow("0600") << 0600;
    QTest::newRow("0664, wider than the umask allows") << 0664;
}

void TestDataStore::permissionsSurvive()
{
    QFETCH(int, mode);
    Folder f;
    QVERIFY(writeFile(f.data, "a\r\nb\r\n"));
    QCOMPARE(::chmod(f.data.c_str(), mode_t(mode)), 0);
    const mode_t old = ::umask(022);
    DataStore store(f.data, f.temp);
    QVERIFY(store.open());
    const Status replaced = store.rewriteReplacing(2, "B");
    const Status deleted = store.rewriteDeleting({1});
    ::umask(old);
    QVERIFY2(replaced, replaced.message.c_str());
    QVERIFY2(deleted, deleted.message.c_str());
    QCOMPARE(readFile(f.data), QByteArray("B\r\n"));
    QCOMPARE(permissions(f.data), mode_t(mode));
}

QTEST_GUILESS_MAIN(TestDataStore)
#include "tst_datastore.moc"
