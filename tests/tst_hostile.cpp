// Damaged and extreme data files, taken through the program as a user meets them: start-up,
// every month the main window can show, the entry list in all six orders, then Step and Pay
// on the payments due now. Whatever the file holds, Kestrow must keep running, report the
// lines it cannot use once, and keep every line it was not asked to change.
#include "app/startup.h"
#include "casebound.h"
#include "core/datastore.h"
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "mainwindow_testutil.h"
#include "modaltest.h"
#include "platform/printer.h"
#include "teststate.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

// The record line of a usable payment that is due every month, so every month has one.
const QByteArray kRent = "Rent|Sub|2026-06-01|800.00|1";
const QByteArray kCar = "Car|Ins|2026-12-10|1234.5|12";

QByteArray Around(const QByteArray& line)
{
    return kRent + "\r\n" + line + "\r\n" + kCar + "\r\n";
}

// One payment per line, spread evenly over ten years so every month lists the same number.
QByteArray MillionLines()
{
    QByteArray bytes;
    bytes.reserve(1'000'000 * 32);
    for (int i = 0; i < 1'000'000; ++i) {
        const int month = 6 + i % 120;
        bytes += "P" + QByteArray::number(i) + "|T" + QByteArray::number(i % 7) + "|" +
                 QByteArray::number(2026 + (month - 1) / 12) + "-" +
                 QByteArray::number((month - 1) % 12 + 1).rightJustified(2, '0') + "-" +
                 QByteArray::number(1 + i % 28).rightJustified(2, '0') + "|" +
                 QByteArray::number(1 + i % 5000) + ".25|120\n";
    }
    return bytes;
}

// How the main window's months are walked: one month at a time, or, where the horizon is
// very long or every refresh reads a million lines, a year at a time.
enum Walk { EveryMonth, Years };

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void throughEveryWindow_data();
    void throughEveryWindow();

private:
    void walkMonths(MainWindow& w, int walk, const QByteArray& contents);
    void entryListOrders(const QByteArray& contents);
    // Steps and then pays record `number`; the file must change in that line's date only.
    void stepAndPay(MainWindow& w, int number);

    std::unique_ptr<modaltest::Folder> folder_;
};

void TestHostileFiles::init()
{
    folder_ = std::make_unique<modaltest::Folder>();
    modaltest::Begin(*folder_);
    platform::PrinterTestHook::install();
}

void TestHostileFiles::cleanup()
{
    modaltest::End();
    platform::PrinterTestHook::uninstall();
    folder_.reset();
}

void TestHostileFiles::throughEveryWindow_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QList<int>>("unusable"); // the line numbers start-up reports
    QTest::addColumn<int>("walk");

    const int every = EveryMonth;
    QTest::newRow("empty file") << QByteArray() << QList<int>{} << every;
    QTest::newRow("CR only") << QByteArray("\r\r\r") << QList<int>{1, 2, 3} << every;
    QTest::newRow("no final line end") << kRent + "\r\n" + kCar << QList<int>{} << every;
    QTest::newRow("1 MB line") << Around(QByteArray(1 << 20, 'x')) << QList<int>{2} << every;
    QTest::newRow("1 MB name") << Around(QByteArray(1 << 20, 'N') + "|Sub|2026-06-03|5|1")
                               << QList<int>{} << every;
    QTest::newRow("NUL bytes") << Around(QByteArray("Ga\0s|S\0|2026-06-05|5.00|1\r\n\0\0", 29))
                               << QList<int>{3} << every;
    QTest::newRow("invalid UTF-8")
        << Around("Caf\xc3|S\xff|2026-06-07|5|1\r\n\xfe\xff\xc0\xaf") << QList<int>{3} << every;
    QTest::newRow("1,000,000 lines") << MillionLines() << QList<int>{} << int(Years);
    QTest::newRow("duration 0") << Around("Odd|Sub|2026-06-01|5|0") << QList<int>{2} << every;
    QTest::newRow("duration -1") << Around("Odd|Sub|2026-06-01|5|-1") << QList<int>{2} << every;
    QTest::newRow("duration 32767")
        << Around("Odd|Sub|2026-06-02|5|32767") << QList<int>{} << int(Years);
    QTest::newRow("duration 99999999999")
        << Around("Odd|Sub|2026-06-01|5|99999999999") << QList<int>{2} << every;
    QTest::newRow("amount 1e308") << Around("Odd|Sub|2026-06-01|1e308|1") << QList<int>{2} << every;
    QTest::newRow("amount nan") << Around("Odd|Sub|2026-06-01|nan|1") << QList<int>{2} << every;
    QTest::newRow("amount inf") << Around("Odd|Sub|2026-06-01|inf|1") << QList<int>{2} << every;
    QTest::newRow("amount -0") << Around("Odd|Sub|2026-06-04|-0|1") << QList<int>{} << every;
    QTest::newRow("amount 1,2,3") << Around("Odd|Sub|2026-06-04|1,2,3|1") << QList<int>{} << every;
    // Month 0 counts as the month before January: moved on to today, the date is 2026-06-00.
    QTest::newRow("date 0000-00-00") << Around("Odd|Sub|0000-00-00|5|1") << QList<int>{} << every;
    QTest::newRow("date 9999-12-31") << Around("Odd|Sub|9999-12-31|5|1") << QList<int>{} << every;
    QTest::newRow("date 2026-1-1-1") << Around("Odd|Sub|2026-1-1-1|5|1") << QList<int>{2} << every;
    QTest::newRow("date --") << Around("Odd|Sub|--|5|1") << QList<int>{2} << every;
    QTest::newRow("year of 3 digits") << Around("Odd|Sub|999-06-01|5|1") << QList<int>{2} << every;
    QTest::newRow("year of 5 digits")
        << Around("Odd|Sub|20266-06-01|5|1") << QList<int>{2} << every;
    QTest::newRow("four fields") << Around("Odd|Sub|2026-06-01|5") << QList<int>{2} << every;
    QTest::newRow("seven fields") << Around("Odd|Sub|2026-06-06|5|1|card 7|x") << QList<int>{}
                                  << every;
    QTest::newRow("everything at once")
        << QByteArray("\r\n|||||\r\nOdd|Sub|2026-06-01|nan|0\n") + '\0' + "\r" + kRent + "\n" +
               QByteArray(70000, '|') + "\r" + kCar
        << QList<int>{1, 2, 3, 4, 6} << every;
}

void TestHostileFiles::throughEveryWindow()
{
    QFETCH(QByteArray, contents);
    QFETCH(QList<int>, unusable);
    QFETCH(int, walk);
    casebound::CaseBound bound(QTest::currentDataTag(), std::chrono::seconds(1800));
    QVERIFY(folder_->write(contents));

    // On an empty file the introduction screen comes first; the user adds one payment.
    QByteArray expected = contents;
    int introductions = 0;
    std::unique_ptr<MainWindow> w;
    StartupWindows windows;
    windows.showIntroduction = [&] {
        ++introductions;
        QVERIFY(teststate::State().data().append(kRent.toStdString()));
        expected = kRent + "\r\n";
    };
    windows.showMain = [&] {
        w = std::make_unique<MainWindow>(teststate::State());
        w->show();
    };
    QVERIFY(Main(teststate::State(), windows));
    QVERIFY(w != nullptr);
    QCOMPARE(introductions, contents.isEmpty() ? 1 : 0);

    // Reported once, at start-up, naming exactly the lines that cannot be used.
    const QStringList report = platform::MessageTestHook::takeShown();
    if (unusable.isEmpty()) {
        QCOMPARE(report, QStringList());
    } else {
        QCOMPARE(report.size(), 1);
        QStringList numbers;
        for (const int n : unusable)
            numbers << QString::number(n);
        const QString head =
            unusable.size() == 1 ? QStringLiteral("Line ") : QStringLiteral("Lines ");
        QVERIFY2(report[0].startsWith(head + numbers.join(QStringLiteral(", ")) + " of "),
                 qPrintable(report[0]));
    }

    walkMonths(*w, walk, expected);
    if (QTest::currentTestFailed())
        return;
    entryListOrders(expected);
    if (QTest::currentTestFailed())
        return;

    // Step and Pay the first and the last payment due now; the others stay as they are.
    QList<int> due = mainwindowtest::RecordNumbers(w->lstDue);
    if (due.isEmpty()) {
        QVERIFY2(!expected.contains('|'), "no payment due now");
        return;
    }
    std::sort(due.begin(), due.end());
    stepAndPay(*w, due.front());
    if (due.back() != due.front())
        stepAndPay(*w, due.back());

    QVERIFY(!QFile::exists(QString::fromStdString(teststate::TempFile())));
    QCOMPARE(platform::MessageTestHook::takeShown(), QStringList());
}

void TestHostileFiles::walkMonths(MainWindow& w, int walk, const QByteArray& contents)
{
    const int horizon = teststate::State().horizonMonths();
    int clicks = 0;
    if (walk == Years) {
        while (w.cmdNextYr->isEnabled() && clicks++ <= horizon)
            QTest::mouseClick(w.cmdNextYr, Qt::LeftButton);
        QCOMPARE(int(w.monthOffset()), horizon / 12 * 12);
    }
    while (w.cmdNext->isEnabled() && clicks++ <= horizon) {
        QTest::mouseClick(w.cmdNext, Qt::LeftButton);
        const int month = 2026 * 12 + 5 + w.monthOffset();
        const QString shown =
            QStringLiteral("%1-%2").arg(month / 12).arg(month % 12 + 1, 2, 10, QChar('0'));
        QCOMPARE(w.labE->text(), QStringLiteral("Payments due in ") + shown);
    }
    QCOMPARE(int(w.monthOffset()), horizon);
    QVERIFY(!w.cmdNextYr->isEnabled());

    if (walk == EveryMonth) {
        while (w.cmdPrevYr->isEnabled() && clicks++ <= 2 * horizon)
            QTest::mouseClick(w.cmdPrevYr, Qt::LeftButton);
        QCOMPARE(int(w.monthOffset()), horizon % 12);
        while (w.cmdPrev->isEnabled() && clicks++ <= 3 * horizon)
            QTest::mouseClick(w.cmdPrev, Qt::LeftButton);
    } else {
        QTest::mouseClick(w.cmdPrevYr, Qt::LeftButton);
        QCOMPARE(int(w.monthOffset()), horizon - 12);
        QTest::mouseClick(w.cmdZero, Qt::LeftButton);
    }
    QCOMPARE(int(w.monthOffset()), 0);
    QVERIFY(!w.cmdPrev->isEnabled() && !w.cmdZero->isEnabled());
    QCOMPARE(folder_->contents(), contents);
}

void TestHostileFiles::entryListOrders(const QByteArray& contents)
{
    const qsizetype lines = modaltest::FileLines(contents).size();
    EntryListDialog list(teststate::State());
    list.show();
    for (int order = EntryListDialog::kOrders - 1; order >= 0; --order) {
        QTest::mouseClick(list.Option1[order], Qt::LeftButton);
        QVERIFY(list.Option1[order]->isChecked());
        QCOMPARE(list.lstDisplay->count(), lines);
        // Each line once, by its number.
        QList<int> numbers = mainwindowtest::RecordNumbers(list.lstDisplay);
        std::sort(numbers.begin(), numbers.end());
        QCOMPARE(numbers.front(), 1);
        QCOMPARE(numbers.back(), int(lines));
        QVERIFY(std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end());
    }
    QTest::mouseClick(list.cmdDone, Qt::LeftButton);
    QCOMPARE(folder_->contents(), contents);
}

void TestHostileFiles::stepAndPay(MainWindow& w, int number)
{
    auto select = [&w, number] {
        const QList<int> numbers = mainwindowtest::RecordNumbers(w.lstDue);
        const int row = int(numbers.indexOf(number));
        if (row >= 0)
            mainwindowtest::ClickRow(w.lstDue, row);
        return row >= 0;
    };
    // The line before and after one action: only its date may differ.
    auto checkChange = [this, number](const QList<QByteArray>& before) {
        const QList<QByteArray> after = modaltest::FileLines(folder_->contents());
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < after.size(); ++i) {
            if (i == number - 1)
                continue;
            if (after[i] != before[i])
                QFAIL(qPrintable(QStringLiteral("line %1 changed").arg(i + 1)));
        }
        QList<QByteArray> was = before[number - 1].split('|');
        QList<QByteArray> now = after[number - 1].split('|');
        QCOMPARE(now.size(), was.size());
        was.removeAt(2);
        now.removeAt(2);
        QCOMPARE(now, was);
    };

    const QList<QByteArray> atStart = modaltest::FileLines(folder_->contents());
    QVERIFY(select());
    QVERIFY(w.cmdStep->isEnabled());
    QTest::mouseClick(w.cmdStep, Qt::LeftButton);
    checkChange(atStart);
    if (QTest::currentTestFailed())
        return;

    // Stepped a month on, the payment may no longer be due now; pay it from where it is.
    const QList<QByteArray> stepped = modaltest::FileLines(folder_->contents());
    if (!select()) {
        QTest::mouseClick(w.cmdNext, Qt::LeftButton);
        QVERIFY(select());
    }
    mainwindowtest::DialogAnswer answer(
        [](ChangeAmountDialog* dlg) { QTest::mouseClick(dlg->cmdNoChange, Qt::LeftButton); });
    QTest::mouseClick(w.cmdPay, Qt::LeftButton);
    QCOMPARE(answer.shown(), 1);
    checkChange(stepped);
    if (w.cmdZero->isEnabled())
        QTest::mouseClick(w.cmdZero, Qt::LeftButton);
}

QTEST_MAIN(TestHostileFiles)
#include "tst_hostile.moc"
