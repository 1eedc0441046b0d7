// Random input from a fixed start value: after each step the data file differs only as a
// user can ask (a record added, one line replaced, lines deleted), and each line Kestrow
// wrote is a record it reads back, dated with a four-digit year.
#include "forms/mainwindow.h"
#include "testutil.h"

#include <random>

namespace {

// Empty when `after` follows from `before` by one change a user can make.
QString Fault(const QByteArrayList& before, const QByteArrayList& after)
{
    QByteArrayList written;
    qsizetype kept = 0; // with fewer lines: the old ones, some left out
    for (const QByteArray& line : before)
        kept += kept < after.size() && after[kept] == line;
    for (qsizetype i = 0; i < after.size(); ++i)
        if (i >= before.size() || after[i] != before[i])
            written << after[i];
    if (after.size() < before.size() ? kept < after.size() : written.size() > 1)
        return "not one change: " + after.join('/');
    const QRegularExpression date("^\\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\\d|3[01])$");
    const auto fields = kestrow::SplitFields(written.value(0).toStdString());
    if (after.size() >= before.size() && !written.isEmpty() &&
        (!kestrow::ParseRecord(written[0].toStdString(), 1) || fields[0].empty() ||
         fields[1].empty() || !date.match(QString::fromStdString(fields[2])).hasMatch()))
        return "no record written: " + written[0];
    return {};
}

} // namespace

class TestRandomInput : public QObject
{
    Q_OBJECT
    std::unique_ptr<tu::Fixture> f;

private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }

    // Most steps land in the entry list and the add form, which the main window opens.
    void mainWindow()
    {
        QVERIFY(f->open("Rent|Sub|2026-06-01|800.00|1\r\nbroken line\r\nCar|Ins|2026-12-10|1234.5|"
                        "12\r\nOdd|Sub|--|5|1\r\nGym|Mem|2026-06-01|40.00|3|card 7\r\n"));
        MainWindow main(*f->app);
        main.show();
        std::mt19937 random(4);
        const auto pick = [&random](const QStringList& from) {
            return from[random() % from.size()];
        };
        const QStringList words = QString("Rent Caf\u00e9 Sub ab 2026-07-01 2027-1-5 2026-13-01 "
                                          "26-02-30 45.10 1,200 0.5 1e3 12 1 32767 32768 0 a|b -5")
                                      .split(' ');
        QByteArrayList before = tu::Lines(f->bytes());
        QString fault;
        int left = 3000, changes = 0;
        // A click (or a row), a word typed, a key (Esc seldom) or an answer; never Exit.
        const auto next = [&](QWidget* w) -> QString {
            const QByteArrayList after = tu::Lines(f->bytes());
            fault += fault.isEmpty() ? Fault(before, after) : QString();
            changes += std::exchange(before, after) != after;
            if (--left <= 0 || !fault.isEmpty() || !w)
                return {};
            QStringList names{"cmdExit"}; // what a click never picks stands for no click
            for (QWidget* c : w->findChildren<QWidget*>())
                if (c->window() == w && c->isVisible() && c->isEnabled() &&
                    !c->objectName().isEmpty())
                    names << c->objectName();
            const QString name = pick(names),
                          focus = w->focusWidget() ? w->focusWidget()->objectName() : "";
            const auto* list = w->findChild<QListWidget*>(name);
            const unsigned kind = random() % 10;
            if (kind == 0)
                return pick({"answer yes", "answer no"});
            if (kind < 4 && list && list->count())
                return "row " + name + " " + QString::number(random() % list->count()) + " ctrl";
            if (kind < 4 && name != "cmdExit" && name != "cmdQuit")
                return "click " + name;
            if (kind < 7 && w->findChild<QLineEdit*>(focus))
                return "type " + focus + " " + pick(words);
            return focus == "cmdExit" || focus == "cmdQuit"
                       ? "key Tab"
                       : "key " + pick({"Tab", "Shift+Tab", "Return", "Space", "Down", "End",
                                        "Backspace", random() % 4 ? "Tab" : "Esc"});
        };
        while (left > 0 && fault.isEmpty() && !platform::ProgramEnding()) {
            // Random steps stop anywhere: windows left open then are no fault.
            const QStringList failed = tu::Run(*f, next);
            fault += failed.filter(QRegularExpression("^(?!left open: )")).join('\n');
        }
        QVERIFY2((fault += Fault(before, tu::Lines(f->bytes()))).isEmpty(), qPrintable(fault));
        QVERIFY(!platform::ProgramEnding() && !f->scratch());
        QVERIFY2(changes > 0, "no step changed the file, which proves little");
    }
};

QTEST_MAIN(TestRandomInput)
#include "tst_randominput.moc"
