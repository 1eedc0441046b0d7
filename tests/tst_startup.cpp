// Start-up: the first run, a second Kestrow, an unreadable clock; then damaged files through
// every month: Kestrow runs on, reports unusable lines once, and changes nothing.
#include "app/startup.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "forms/savingschart.h"
#include "testutil.h"

#include <QLabel>

using tu::Find;

namespace {

void Click(QWidget* w, const char* name)
{
    QTest::mouseClick(tu::Find(w, name), Qt::LeftButton);
}

// A payment due every month, so every month lists one.
const QByteArray kRent = "Rent|Sub|2026-06-01|800.00|1", kCar = "Car|Ins|2026-12-10|1234.5|12";
QByteArray Around(const QByteArray& line)
{
    return kRent + "\r\n" + line + "\r\n" + kCar + "\r\n";
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;
    std::unique_ptr<MainWindow> main;
    StartupWindows windows() // as the program wires them
    {
        return {[this] { IntroDialog(*f->app).exec(); },
                [this] { (main = std::make_unique<MainWindow>(*f->app))->show(); }};
    }
private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup()
    {
        main.reset();
        f.reset();
    }

    // No data file: the introduction comes back until a payment is added; Exit on the first
    // run takes the empty file away without a question.
    void firstRun()
    {
        bool started = false;
        QStringList failed = tu::Run(
            *f,
            "check file=; click cmdContinue; check front=frmAdd; click cmdCancel; key Return;"
            "enter _Car_insurance_|Sub|2026-6-1|1234.5|240; key Esc; check front=frmMain;"
            "check lstDue=1 2026-06-01 1,234.50  Sub  Car insurance; check horizon=240;"
            "check file=Car insurance|Sub|2026-06-01|1,234.50|240/; check shown=",
            [&] { started = Main(*f->app, windows()); });
        main.reset();
        QVERIFY(started && f->app->data().removeFile());
        failed += tu::Run(*f, "click cmdQuit; check ending=yes; check file=<missing>; check shown=",
                          [&] { started = Main(*f->app, windows()); });
        QVERIFY2(failed.isEmpty() && !started && !main, qPrintable(failed.join('\n')));
    }

    // A clock that cannot be read ends start-up with a message and no window.
    void refused()
    {
        platform::SetSystemDateForTesting("2026-12-05");
        bool started = true; // within the runner, so a real message box would be closed
        QVERIFY(tu::Run(*f, "", [&] { started = Main(*f->app, {}); }).isEmpty() && !started);
        QVERIFY(f->shown() ==
                QStringList{"Kestrow cannot read today's date from the system clock."});
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("report"); // how the one message starts
        const auto row = [](const char* name, const QByteArray& contents, const char* report = "") {
            QTest::newRow(name) << contents << QString(report);
        };
        row("empty file", "");
        row("CR only", "\r\r\r", "Lines 1, 2, 3 of");
        row("no final line end", kRent + "\r\n" + kCar);
        row("1 MB line", Around(QByteArray(1 << 20, 'x')), "Line 2 of");
        row("1 MB name", Around(QByteArray(1 << 20, 'N') + "|S|2026-06-03|5|1"));
        row("NUL bytes", Around(QByteArray("Ga\0s|S\0|2026-06-05|5|1\r\n\0\0", 26)), "Line 3 of");
        row("invalid UTF-8", Around("Caf\xc3|S\xff|2026-06-07|5|1\r\n\xfe\xff\xc0\xaf"),
            "Line 3 of");
        QByteArray many; // spread over ten years, so every month lists as many
        for (int i = 0; i < 100000; ++i)
            many += QStringLiteral("P%1|T|%2-%3-01|%4.25|120\n")
                        .arg(i)
                        .arg(2026 + (5 + i % 120) / 12)
                        .arg((5 + i % 120) % 12 + 1, 2, 10, QChar('0'))
                        .arg(1 + i % 5000)
                        .toLatin1();
        row("100,000 lines", many);
        row("more than twenty unusable lines", QByteArray("x\n").repeated(23) + kRent,
            "Lines 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, and 3 "
            "more of");
        for (const char* odd : {"5|0", "5|-1", "5|99999999999", "1e308|1", "nan|1", "inf|1"})
            row(odd, Around(QByteArray("Odd|S|2026-06-01|") + odd), "Line 2 of");
        for (const char* odd : {"-0|1", "1,2,3|1", "5|240", "5|32767", "5|1|card 7|x"})
            row(odd, Around(QByteArray("Odd|S|2026-06-04|") + odd));
        // Month 0 counts as the month before January: moved on to today it is 2026-06-00.
        for (const char* date : {"0000-00-00", "9999-12-31"})
            row(date, Around(QByteArray("Odd|S|") + date + "|5|1"));
        for (const char* date : {"2026-1-1-1", "--", "999-06-01", "20266-06-01", "2026-13"})
            row(date, Around(QByteArray("Odd|S|") + date + "|5|1"), "Line 2 of");
        row("four fields", Around("Odd|S|2026-06-01|5"), "Line 2 of");
        row("everything at once",
            QByteArray("\r\n|||||\r\nOdd|S|2026-06-01|nan|0\n") + '\0' + "\r" + kRent + "\n" +
                QByteArray(70000, '|') + "\r" + kCar,
            "Lines 1, 2, 3, 4, 6 of");
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, report);
        // On an empty file the introduction comes first; there the user adds one payment.
        const QByteArray expected = contents.isEmpty() ? kRent + "\r\n" : contents;
        QVERIFY(f->write(contents));
        QVERIFY(Main(*f->app, {[this] { QVERIFY(f->app->data().append(kRent.toStdString())); },
                               windows().showMain}));
        const QString shown = f->shown().join(' ');
        QVERIFY2(report.isEmpty() ? shown.isEmpty() : shown.startsWith(report), qPrintable(shown));

        // Every month to the horizon (by years where it is long or the file huge), with marker.
        MainWindow* w = main.get();
        const int horizon = f->app->horizonMonths();
        for (int offset = 0, step = 1; offset <= horizon; offset += step) {
            QCOMPARE(Find<QLabel>(w, "labE")->text(),
                     QDate(2026, 6, 1).addMonths(offset).toString("'Payments due in 'yyyy-MM"));
            for (const ChartLine& line : Find<SavingsChart>(w, "picGraph")->plan().lines)
                QVERIFY(line.colour != chartcolours::Marker || line.x1 == offset);
            QCOMPARE(Find(w, "cmdNextYr")->isEnabled(), offset + 12 <= horizon);
            step =
                offset + 12 <= horizon && (horizon > 240 || expected.size() > (1 << 21)) ? 12 : 1;
            Click(w, step == 12 ? "cmdNextYr" : "cmdNext");
        }
        QVERIFY(!Find(w, "cmdNext")->isEnabled() && Find(w, "cmdPrevYr")->isEnabled());
        Click(w, "cmdZero");
        QVERIFY(!Find(w, "cmdPrev")->isEnabled() && f->bytes() == expected);
        QVERIFY(!f->scratch() && f->shown().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
