// The data file on a real disk: the bytes each change writes, the permissions it keeps, the
// lock and planted links. Power cuts and failing calls are the crash states' suite.
#include "testutil.h"

using namespace kestrow;

namespace {

mode_t Mode(const std::string& path) // 0: nothing there, not even a dangling link
{
    struct stat st = {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

// "append LINE", "replace N LINE" or "delete N,N,...".
Status Change(DataStore& store, const QByteArray& change)
{
    const QByteArrayList word = change.split(' ');
    if (word[0] == "append")
        return store.append(change.mid(7).toStdString());
    if (word[0] == "replace")
        return store.rewriteReplacing(word[1].toInt(),
                                      change.mid(9 + word[1].size()).toStdString());
    std::vector<std::int32_t> numbers;
    for (const QByteArray& n : word[1].split(','))
        numbers.push_back(n.toInt());
    return store.rewriteDeleting(numbers);
}

} // namespace

class TestDataStore : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Folder> f;
    tu::FaultyDisk flaky; // declared before the store, which calls it until it goes
    std::unique_ptr<DataStore> store;
    // A store on a data file holding `contents`.
    DataStore& open(const QByteArray& contents, FileOps& ops = FileOps::system())
    {
        store.reset();
        if (!f->write(contents) ||
            !(store = std::make_unique<DataStore>(f->data, f->temp, ops))->open())
            qFatal("cannot open %s", f->data.c_str());
        return *store;
    }

private slots:
    void init() { f = std::make_unique<tu::Folder>(); }
    void cleanup() { store.reset(); }

    void changes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* change, const QByteArray& before, const QByteArray& after) {
            QTest::newRow(change) << before << after;
        };
        row("append G", "", "G\r\n");
        row("append H", "a", "a\r\nH\r\n"); // a last line without its end gets one
        row("append I", QByteArray("x\0\xff\r\n\r", 6), QByteArray("x\0\xff\r\n\rI\r\n", 9));
        row("replace 1 A", "a\nb\rc", "A\r\nb\r\nc\r\n");
        row("delete 1", "a\r\nb\r\nc", "b\r\nc\r\n");
        row("delete 4,2,4,2", "a\nb\nc\nd\ne", "a\r\nc\r\ne\r\n");
        row("delete 2,1", "a\r\nb\r\n", "");
    }
    // The new file keeps the old permissions, umask aside.
    void changes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        DataStore& store = open(before);
        const mode_t old = ::umask(027);
        QVERIFY(::chmod(f->data.c_str(), 0664) == 0);
        const Status st = Change(store, QTest::currentDataTag());
        ::umask(old);
        QVERIFY2(st && st.message.empty() && !f->scratch(), st.message.c_str());
        QCOMPARE(f->bytes(), after);
        QCOMPARE(Mode(f->data) & 07777, 0664u);
    }

    void refusedChanges_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::newRow("replace 4 x") << "no record number 4";
        QTest::newRow("replace 0 x") << "no record number 0";
        QTest::newRow("delete 1,4") << "no record number 4";
        for (const char* change : {"append A\r\nX", "append A\rB", "replace 1 x\ny"})
            QTest::newRow(change) << "line break";
    }
    void refusedChanges()
    {
        QFETCH(QString, reason);
        DataStore& store = open("a\r\nb\nc");
        const QString message =
            QString::fromStdString(Change(store, QTest::currentDataTag()).message);
        QVERIFY2(message.contains(reason) && message.contains(f->dataPath), qPrintable(message));
        QVERIFY(f->bytes() == "a\r\nb\nc" && !f->scratch() && store.rewriteReplacing(1, "A"));
    }

    // While the edit form or Pay holds a rewrite open, the file is untouched and other
    // changes are refused: an appended line would be lost when the rewrite completed.
    void rewriteSpreadOverAWindow()
    {
        DataStore& store = open("a\nb\r\nc\rd");
        Rewrite rewrite = store.beginRewrite();
        QCOMPARE(rewrite.copyUntil(3).value_or("-"), std::string("c"));
        QCOMPARE(tu::ReadFile(f->tempPath) + f->bytes(), "a\r\nb\r\na\nb\r\nc\rd");
        QVERIFY(!store.beginRewrite().complete() && !store.rewriteDeleting({1}) &&
                !store.append("e"));
        rewrite.writeLine("C");
        rewrite.copyRest();
        QVERIFY(rewrite.complete() && !rewrite.complete() && f->bytes() == "a\r\nb\r\nC\r\nd\r\n");
    }

    // A new file is made as the umask allows; a second Kestrow is refused while the first
    // runs.
    void opening()
    {
        DataStore first(f->data, f->temp), second(f->data, f->temp);
        const mode_t old = ::umask(022);
        QVERIFY(first.open() && f->bytes().isEmpty());
        ::umask(old);
        const QString refused = QString::fromStdString(second.open().message);
        QVERIFY(refused.contains("already running") && refused.contains(f->dataPath));
        QCOMPARE(Mode(f->data) & 0777, 0644u);
        first.close();
        QVERIFY(second.open());
    }

    // What the windows show after a failed read may be partial: no change may be based on it
    // until the file has been read whole again.
    void changesAfterAReadError()
    {
        DataStore& store = open("a\r\nb\r\nc\r\n", flaky);
        std::string read;
        flaky.failNextRead();
        QVERIFY(!store.readContents(read));
        const Status refused = store.rewriteDeleting({1});
        QVERIFY(!refused && QString::fromStdString(refused.message).contains(f->dataPath));
        QCOMPARE(f->bytes(), "a\r\nb\r\nc\r\n");

        flaky.failNextRead();
        QVERIFY(!store.readContents(read));
        QVERIFY(store.readContents(read));
        const Status deleted = store.rewriteDeleting({1});
        QVERIFY2(deleted, deleted.message.c_str());
        QCOMPARE(f->bytes(), "b\r\nc\r\n");
    }

    // Clearing the data at the end empties the file a link leads to and keeps the link.
    void clearingThroughALink()
    {
        const QString target = f->dir.filePath("target.txt");
        QCOMPARE(::symlink(target.toStdString().c_str(), f->data.c_str()), 0);
        DataStore& store = open("a\r\n"); // written through the link
        // An error left over from an earlier call is not this one's failure.
        errno = EACCES;
        const Status cleared = store.removeFile();
        QVERIFY2(cleared, cleared.message.c_str());
        QCOMPARE(tu::ReadFile(target), QByteArray());
        QVERIFY(S_ISLNK(Mode(f->data)));
    }

    // A link at the scratch name, at start-up or planted later, is never read nor written.
    void plantedLinks()
    {
        const std::string victim = f->dir.filePath("victim").toStdString();
        QVERIFY(tu::WriteFile(f->dir.filePath("victim"), "secret"));
        QCOMPARE(::symlink(victim.c_str(), f->temp.c_str()), 0);
        DataStore& store = open("a\r\nb\r\nc\r\n");
        QVERIFY(store.recoveryNote().empty() && Mode(f->temp) == 0);
        QCOMPARE(::symlink((victim + "x").c_str(), f->temp.c_str()), 0); // where none is yet
        QVERIFY(store.rewriteDeleting({1}) && Mode(f->temp) == 0);
        QCOMPARE(f->bytes() + tu::ReadFile(f->dir.filePath("victim")), "b\r\nc\r\nsecret");
        QVERIFY(!QFile::exists(f->dir.filePath("victimx")));
    }
};

QTEST_GUILESS_MAIN(TestDataStore)
#include "tst_datastore.moc"
