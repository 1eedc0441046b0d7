// Random input from one fixed start of the random generator per window: thousands of
// clicks, keys and typed words into each window and whatever it opens, questions answered
// at random. After each action the data file differs only as a user can ask (a record
// added at the end, one line replaced, lines deleted), and each line Kestrow wrote is a
// record it reads back, with a four-digit year, a month 1-12 and a day 1-31.
#include "forms/addrecorddialog.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
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

    void everyWindow_data()
    {
        QTest::addColumn<int>("start"); // of the random generator
        int start = 0;
        for (const char* window : {"frmAdd", "frmChange", "frmEdit", "frmMain"})
            QTest::newRow(window) << ++start;
    }
    void everyWindow()
    {
        QFETCH(int, start);
        const QString window = QTest::currentDataTag();
        QVERIFY(f->open("Rent|Sub|2026-06-01|800.00|1\r\nbroken line\r\nCar|Ins|2026-12-10|1234.5|"
                        "12\r\nOdd|Sub|--|5|1\r\nGym|Mem|2026-06-01|40.00|3|card 7\r\n"));
        std::unique_ptr<MainWindow> main;
        if (window == "frmMain")
            (main = std::make_unique<MainWindow>(*f->app))->show();
        std::mt19937 random(start);
        const auto below = [&random](qsizetype n) { return int(random() % unsigned(n)); };
        const QStringList words = QString("Rent Caf\u00e9 Sub ab 2026-07-01 2027-1-5 2026-13-01 "
                                          "26-02-30 45.10 1,200 0.5 1e3 12 1 32767 32768 0 a|b -5")
                                      .split(' ');
        const QStringList keys{"Tab",  "Shift+Tab", "Return",    "Space",
                               "Down", "End",       "Backspace", "Esc"};
        QByteArrayList before = tu::Lines(f->bytes());
        QString fault;
        int left = 3000, changes = 0;
        // Each step a user's: a click on a control (a row of a list), a word typed into a
        // box, a key, or the answer to the next question; never what ends the program.
        const auto next = [&](QWidget* w) -> QString {
            const QByteArrayList after = tu::Lines(f->bytes());
            fault += fault.isEmpty() ? Fault(before, after) : QString();
            changes += after != before;
            before = after;
            if (--left <= 0 || !fault.isEmpty() || !w)
                return {};
            QStringList names;
            for (QWidget* c : w->findChildren<QWidget*>())
                if (c->window() == w && c->isVisible() && c->isEnabled() &&
                    c->inherits("QAbstractButton") + c->inherits("QLineEdit") +
                        c->inherits("QListWidget") &&
                    !QStringList{"", "cmdExit", "cmdQuit"}.contains(c->objectName()))
                    names << c->objectName();
            const QString name = names.value(below(names.size() + 1));
            auto* list = w->findChild<QListWidget*>(name);
            const QString focus = w->focusWidget() ? w->focusWidget()->objectName() : "";
            const int kind = below(10);
            if (kind == 0)
                return QString("answer ") + (below(2) ? "yes" : "no");
            if (kind < 4 && list && list->count())
                return QStringLiteral("row %1 %2%3")
                    .arg(name)
                    .arg(below(list->count()))
                    .arg(below(2) ? " ctrl" : "");
            if (kind < 4 && !name.isEmpty())
                return "click " + name;
            if (kind < 7 && qobject_cast<QLineEdit*>(w->focusWidget()))
                return "type " + focus + " " + words[below(words.size())];
            return focus == "cmdExit" || focus == "cmdQuit"
                       ? "key Tab"
                       : "key " + keys[below(8 - (below(4) > 0))];
        };
        for (std::mt19937 pick(3); left > 0 && fault.isEmpty() && !platform::ProgramEnding();) {
            std::function<void()> begin;
            if (window == "frmAdd")
                begin = [&] { AddRecordDialog(*f->app).exec(); };
            else if (window == "frmChange") // the edit form never removes a line
                begin = [&, n = int(1 + pick() % 5)] { EditRecordDialog(*f->app, n).exec(); };
            else if (window == "frmEdit")
                begin = [&] { EntryListDialog(*f->app).exec(); };
            tu::Run(*f, next, begin); // what is left open at the end is closed
        }
        QVERIFY2((fault += Fault(before, tu::Lines(f->bytes()))).isEmpty(), qPrintable(fault));
        QVERIFY(!platform::ProgramEnding() && !f->scratch());
        QVERIFY2(changes > 0, qPrintable(QString::number(changes))); // else it proved little
    }
};

QTEST_MAIN(TestRandomInput)
#include "tst_randominput.moc"
