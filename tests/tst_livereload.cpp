// The main window following its data file through the real event loop, and the conflict
// copies the sync tools leave: offered once, a merge undone and redone byte for byte.
#include "app/filewatcher.h"
#include "forms/mainwindow.h"
#include "platform/accessible.h"
#include "testutil.h"

#include <QSignalSpy>

namespace {

// tu::Run steps plus those of another program: "settle" waits (five seconds at most) for the
// watcher's next report, "quiet" for all of them; "burst" writes faster than it settles.
QStringList RunWatched(tu::Fixture& f, const QString& script, MainWindow& window)
{
    QSignalSpy settled(window.findChild<FileWatcher*>(), &FileWatcher::settled);
    QStringList steps = script.split(';', Qt::SkipEmptyParts);
    QStringList failed;
    qsizetype seen = 0;
    const auto next = [&](QWidget*) {
        while (!steps.isEmpty()) {
            const QString step = steps.takeFirst().trimmed();
            if (step == "folder") {
                QFile::remove(f.dataPath);
                QDir().mkdir(f.dataPath);
            } else if (step.startsWith("burst ")) {
                // A line more each time, every write seen on its own.
                QByteArray written;
                for (const QString& line : step.section(' ', 1).split('/', Qt::SkipEmptyParts)) {
                    written += line.toUtf8() + "\r\n";
                    tu::WriteFile(f.dataPath, written);
                    QTest::qWait(FileWatcher::kSettleMs / 8);
                }
            } else if (step == "quiet") {
                QTest::qWait(FileWatcher::kLongestBurstMs + FileWatcher::kSettleMs);
                seen = settled.count();
            } else if (step != "settle") {
                return step;
            } else if (QTest::qWaitFor([&] { return settled.count() > seen; }, 5000)) {
                seen = settled.count();
            } else {
                failed << "no change seen before: " + steps.join(';');
            }
        }
        return QString();
    };
    return tu::Run(f, next) + failed;
}

const QString kReadAgain =
    "The payments were read again after a change outside Kestrow. Payments due in ";

const QByteArray kData = "Rent|Sub|2026-06-01|950.00|1\nGym|Mem|2026-06-15|420|12";
const QByteArray kMerged =
    "Rent|Sub|2026-06-01|950.00|1\r\nGym|Mem|2026-06-15|420|12\r\nBus|Sub|2026-07-01|40|1\r\n";

} // namespace

class TestLiveReload : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

    // July is shown and Gym chosen; each row ends by checking both are still so (Pay of
    // Gym from July) unless the change is refused.
    void outsideChanges_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("heard"); // times the payments were read again
        const QString rent = "Rent|Sub|2026-06-01|950.00|1/", gym = "Gym|Mem|2026-06-05|30.00|1/",
                      tax = "Tax|Sub|2026-06-02|5.00|1/";
        const QString payGym = "; check labE=Payments due in 2026-07; click cmdPay; "
                               "click cmdNoChange; check file~Gym|Mem|2026-07-15|30.00|1/";
        // The file saved by rename is watched in its turn, then written in place.
        QTest::newRow("an editor's save by rename, then a write")
            << "save " + QString(rent).replace("950", "990") + gym +
                   "; settle; check lstDue~990.00; quiet; write " + tax + rent + gym +
                   "; settle; check lstDue~Tax" + payGym
            << 2;
        // The horizon reaches the longest period; the arrow keys go on from the chosen payment.
        QTest::newRow("a burst of writes")
            << "burst " + tax + rent + gym +
                   "Roof|Hom|2027-01-01|9,000.00|180/; settle; check lstDue~Tax;"
                   "check horizon=180; key Up; key Down" +
                   payGym
            << 1;
        QTest::newRow("removed, told, made again")
            << "delete file; settle; check shown~was removed outside Kestrow. Kestrow still "
               "shows the payments; check lstDue~Rent; write " +
                   gym + tax + "; settle; check shown=; check lstDue~Tax" + payGym
            << 1;
        QTest::newRow("replaced by a folder, nothing lost")
            << "folder; settle; check shown~cannot read it: it is a folder, not a plain file.;"
               "check lstDue~Rent; click cmdPay; check shown~was changed outside Kestrow;"
               "check lstDue~Rent"
            << 0;
        QTest::newRow("Kestrow's own changes")
            << "click cmdEdit; click cmdAdd; enter Bus|Sub|2026-7-1|40|1; click cmdCancel;"
               "click cmdDone; settle; click cmdPrev; row lstDue 0; click cmdStep; settle;"
               "check shown=; click cmdNext; row lstDue 0" +
                   payGym
            << 0;
        QTest::newRow("saved while Pay's dialog is open")
            << "click cmdPay; save " + tax + rent + gym +
                   "; settle; check shown=; click cmdNoChange; check shown~was changed outside "
                   "Kestrow since; "
                   "check file=" +
                   tax + rent + gym
            << 0;
        QTest::newRow("written while the entry list is open")
            << "click cmdEdit; row lstDisplay 0; write " + tax + rent + gym +
                   "; settle; check lstDisplay~Tax; click cmdDelete; check file=" + tax + rent +
                   "; click cmdDone; check lstDue~Tax"
            << 1;
    }
    void outsideChanges()
    {
        QFETCH(QString, script);
        QFETCH(int, heard);
        QVERIFY(f->open("Rent|Sub|2026-06-01|950.00|1\r\nGym|Mem|2026-06-05|30.00|1\r\n"));
        MainWindow w(*f->app);
        w.show();
        w.watchDataFile();
        QSignalSpy said(w.findChild<platform::Announcer*>(), &platform::Announcer::announced);
        script.replace("DIR", f->dir.path());
        const QStringList failed =
            RunWatched(*f, "click cmdNext; row lstDue 1; check shown=;" + script, w);
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join('\n')));
        // Once the file is still the watcher goes quiet: at most the last burst is left to tell.
        QSignalSpy settled(w.findChild<FileWatcher*>(), &FileWatcher::settled);
        QTest::qWait(FileWatcher::kLongestBurstMs + FileWatcher::kSettleMs);
        QVERIFY(settled.count() <= 1);
        int readAgain = 0;
        for (const QList<QVariant>& line : said)
            readAgain += line[0].toString().startsWith(kReadAgain);
        QCOMPARE(readAgain, heard);
    }

    // Offered at start or when it arrives; each only once while Kestrow runs.
    void conflictCopies_data()
    {
        QTest::addColumn<QString>("copy"); // its name beside the data file
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("later"); // put there once Kestrow runs
        QTest::addColumn<int>("choice"); // Merge, Open the copy's folder, Not now
        QTest::addColumn<QString>("told");
        const QByteArray theirs =
            "Rent|Sub|2026-06-01|990.00|1\r\nGym|Mem|2026-06-15|420|12\r\nBus|Sub|2026-07-01|40|1";
        const QString differences =
            "Only in the copy:\n  Bus|Sub|2026-07-01|40|1\nDiffering in part (the data file | "
            "the copy):\n  Rent|Sub|2026-06-01|950.00|1 | Rent|Sub|2026-06-01|990.00|1";
        QTest::newRow("Syncthing, merged")
            << "Kestrow.sync-conflict-20261207-143012-ABCDEF1.txt" << theirs << false << 0
            << "Syncthing left a conflict copy of the data file DIR/Kestrow.txt beside it: "
               "Kestrow.sync-conflict-20261207-143012-ABCDEF1.txt.";
        QTest::newRow("Dropbox, its folder opened")
            << "Kestrow (Anna's conflicted copy 2026-12-07).txt" << theirs << false << 1
            << differences + "\nOpened the folder DIR";
        QTest::newRow("damaged") << "Kestrow (conflicted copy 2026-12-07 143012).txt"
                                 << QByteArray(3000, '\x01') << true << 0
                                 << "it is damaged: no line of it is a payment. Nothing was "
                                    "changed.";
    }
    void conflictCopies()
    {
        QFETCH(QString, copy);
        QFETCH(QByteArray, contents);
        QFETCH(bool, later);
        QFETCH(int, choice);
        QFETCH(QString, told);
        QVERIFY(f->open(kData));
        const QString path = f->dir.filePath(copy);
        const auto putCopy = [&] { return tu::WriteFile(path, contents); };
        QVERIFY(later || putCopy());
        platform::MessageTestHook::queueChoice(choice);
        MainWindow w(*f->app);
        w.show();
        w.watchDataFile();
        if (later) {
            QCOMPARE(RunWatched(*f, "check shown=", w), QStringList());
            QVERIFY(putCopy());
        }
        QStringList shown;
        const auto offered = [&shown] {
            shown += tu::Fixture::shown();
            return !shown.isEmpty();
        };
        QVERIFY(QTest::qWaitFor(offered, 5000));
        QVERIFY2(shown.join('\n').contains(told.replace("DIR", f->dir.path())),
                 qPrintable(shown.join('\n')));
        const bool merged = choice == 0 && contents.contains("Bus");
        QCOMPARE(f->bytes(), merged ? kMerged : kData);
        QCOMPARE(QFileInfo::exists(path), !merged);
        QCOMPARE(QFileInfo::exists(path + ".merged"), merged);
        // Not offered again while Kestrow runs, whatever happens in the folder.
        QTest::qWait(FileWatcher::kLongestBurstMs + FileWatcher::kSettleMs);
        const QString same = QString(f->bytes()).replace("\r\n", "/");
        QCOMPARE(RunWatched(*f, "write " + same + "; settle; check shown=", w), QStringList());
        if (!merged)
            return;
        QCOMPARE(tu::Run(*f, "menu lstDue; check mnuExport~Undo Merge of " + copy +
                                 "/Redo (off)/; key Esc; key Ctrl+Z"),
                 QStringList());
        QCOMPARE(f->bytes(), kData);
        QCOMPARE(tu::Run(*f, "key Ctrl+Shift+Z; check shown="), QStringList());
        QCOMPARE(f->bytes(), kMerged);
    }
};

QTEST_MAIN(TestLiveReload)
#include "tst_livereload.moc"
