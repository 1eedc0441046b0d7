// Random input from a fixed start of the random generator: thousands of clicks, keys,
// pastes and typed words into each window and whatever it opens, questions answered Yes or
// No at random. After every action the data file may differ only as a user can ask (a
// record added at the end, one line replaced, lines deleted), and every line Kestrow wrote
// is a record it can read back.
#include "core/dates.h"
#include "core/text.h"
#include "forms/addrecorddialog.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
#include "forms/mainwindow.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QClipboard>

#include <random>

namespace {

// A line the forms may write: a usable record with a name, a type, and a date of a
// four-digit year, a month from 1 to 12 and a day from 1 to 31.
bool WellFormed(const QByteArray& line)
{
    const auto fields = kestrow::SplitFields(line.toStdString());
    if (!kestrow::ParseRecord(line.toStdString(), 1) || fields[0].empty() || fields[1].empty())
        return false;
    const auto date = kestrow::SplitText(fields[kestrow::FieldDate], '-');
    const int month = *kestrow::PartValue(date[1]), day = *kestrow::PartValue(date[2]);
    return date[0].size() == 4 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// Empty when `after` follows from `before` by one change a user can make.
QString ChangeFault(const QByteArrayList& before, const QByteArrayList& after)
{
    QByteArrayList written; // the lines Kestrow wrote
    if (after.size() == before.size()) {
        for (qsizetype i = 0; i < after.size(); ++i)
            if (after[i] != before[i])
                written << after[i];
    } else if (after.size() == before.size() + 1 && after.mid(0, before.size()) == before) {
        written << after.back(); // added at the end
    } else {
        qsizetype at = 0; // fewer lines: the same lines, some left out
        for (const QByteArray& line : before)
            at += at < after.size() && after[at] == line;
        if (after.size() > before.size() || at != after.size())
            return QStringLiteral("%1 lines became %2, not by one change")
                .arg(before.size())
                .arg(after.size());
    }
    if (written.size() > 1)
        return "several lines changed at once: " + written.join(", ");
    return written.isEmpty() || WellFormed(written[0]) ? QString()
                                                       : "no record written: " + written[0];
}

// Records due now and later, one with a sixth field, and two lines no window can use.
const QByteArray kStartFile =
    "Rent|Sub|2026-06-01|800.00|1\r\nbroken line\r\nCar|Ins|2026-12-10|1234.5|12\r\n"
    "Gas|Utl|2026-06-20|45.10|1\r\nOdd|Sub|--|5|1\r\nTax|Tax|2027-04-15|2,400.00|12\r\n"
    "Gym|Mem|2026-06-01|40.00|3|card 7\r\n";

enum Window { AddForm, EditForm, EntryList, WholeProgram, PayDialog };

// Acts on the window on top, one action a turn of the event loop, so an action that opens
// a modal window goes on inside that window's loop.
class RandomUser : public QObject
{
public:
    RandomUser(uint start, tu::Fixture& f, Window window, QWidget* main)
        : random_(start), f_(f), window_(window), main_(main), before_(tu::Lines(f.bytes()))
    {
        QTimer::singleShot(0, this, &RandomUser::turn);
    }
    bool finished = false;
    QString fault;
    int dollarDialogs = 0;
    void check()
    {
        const QByteArrayList after = tu::Lines(f_.bytes());
        if (fault.isEmpty() && !ChangeFault(before_, after).isEmpty())
            fault = QStringLiteral("%1 actions before the end: %2")
                        .arg(left_)
                        .arg(ChangeFault(before_, after));
        before_ = after;
    }

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    // Never the controls that end the program; with only Pay to try, not "Edit Entries".
    bool allowed(const QWidget* c) const
    {
        return c->objectName() != "cmdExit" && c->objectName() != "cmdQuit" &&
               !(window_ == PayDialog && c->objectName() == "cmdEdit" && c->window() == main_);
    }
    void turn()
    {
        check();
        if (--left_ <= 0 || !fault.isEmpty()) {
            finished = true;
            for (QWidget* modal; (modal = QApplication::activeModalWidget()) && modal->isVisible();)
                tu::Dismiss(modal);
            return;
        }
        QTimer::singleShot(0, this, &RandomUser::turn); // before the action may open a window
        if (below(8) == 0)
            platform::MessageTestHook::queueAnswer(below(2) == 0);
        QWidget* w = QApplication::activeModalWidget();
        if (!w && !(w = main_))
            return;
        dollarDialogs += w->objectName() == "frmChangeDollar" && w != last_;
        last_ = w;
        QWidget* focus = QApplication::focusWidget() && QApplication::focusWidget()->window() == w
                             ? QApplication::focusWidget()
                             : w;
        auto* box = qobject_cast<QLineEdit*>(focus);
        const int kind = below(100);
        if (kind < 30)
            click(w);
        else if (kind < 70)
            key(focus);
        else if (kind < 80 && box)
            paste(box);
        else if (kind < 99 && box)
            word(box);
        else if (kind == 99 && w->objectName() != "frmMain" && w->objectName() != "frmIntro")
            w->close();
    }
    void click(QWidget* w)
    {
        QList<QWidget*> controls;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (c->window() == w && c->isVisible() && c->isEnabled() && allowed(c) &&
                (qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c) ||
                 qobject_cast<QListWidget*>(c)))
                controls << c;
        }
        QWidget* c = controls.value(below(int(controls.size() + 1)));
        auto* list = qobject_cast<QListWidget*>(c);
        const Qt::KeyboardModifier modifiers[] = {Qt::NoModifier, Qt::NoModifier,
                                                  Qt::ControlModifier, Qt::ShiftModifier};
        if (list && list->count() > 0)
            tu::ClickRow(list, below(list->count()), modifiers[below(4)]);
        else if (c)
            QTest::mouseClick(c, Qt::LeftButton);
    }
    void key(QWidget* target)
    {
        static const Qt::Key keys[] = {
            Qt::Key_Tab,   Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Enter,    Qt::Key_Escape,
            Qt::Key_Space, Qt::Key_Up,      Qt::Key_Down,   Qt::Key_Left,     Qt::Key_Right,
            Qt::Key_Home,  Qt::Key_End,     Qt::Key_Delete, Qt::Key_Backspace};
        static const QString characters = "0123456789-./,|: aAzZ$%#\u00e9\u20ac\u00ff'\"\\";
        const Qt::Key k = below(2) ? Qt::Key_unknown : keys[below(int(std::size(keys)))];
        const bool presses =
            k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space || k == Qt::Key_unknown;
        // Pressed as often as other keys, Esc would leave the forms before they are filled.
        if ((k == Qt::Key_Escape && (below(4) || target->window()->objectName() == "frmIntro")) ||
            (presses && qobject_cast<QAbstractButton*>(target) && !allowed(target)) ||
            (presses && k != Qt::Key_unknown && window_ == PayDialog && target->window() == main_))
            return;
        if (k != Qt::Key_unknown)
            return QTest::keyClick(target, k);
        tu::Type(target, characters[below(int(characters.size()))]);
    }
    void paste(QLineEdit* box)
    {
        static const QStringList pieces{"a|b",        "\t",    "\n",       "\r\n",
                                        "2026-07-01", "1e308", "nan",      "-5",
                                        "12",         "99999", "1,234.50", "\u00e9t\u00e9",
                                        "  ",         "0",     "x",        QString(300, 'w')};
        QString clip;
        for (int n = 1 + below(3); n > 0; --n)
            clip += pieces[below(int(pieces.size()))];
        QApplication::clipboard()->setText(clip);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    }
    // A word as a user types it, right or wrong, mostly fitting the box (the record forms'
    // boxes are txtIn(0) to txtIn(4)), so that records really get written.
    void word(QLineEdit* box)
    {
        static const QStringList words[] = {{"Rent", "Phone bill", "Caf\u00e9"},
                                            {"Sub", "Ins", "ab"},
                                            {"2026-07-01", "2027-1-5", "2026-13-01", "26-02-30"},
                                            {"45.10", "1,200", "0.5", "1e3"},
                                            {"12", "1", "3", "32767", "32768", "0"}};
        const QString name = box->objectName();
        const int field = name.startsWith("txtIn(") && below(4) ? name.mid(6, 1).toInt() : below(5);
        if (below(4))
            box->selectAll();
        tu::Type(box, words[field][below(int(words[field].size()))]);
    }

    std::mt19937 random_;
    int left_ = 4000;
    tu::Fixture& f_;
    Window window_;
    QPointer<QWidget> main_, last_;
    QByteArrayList before_;
};

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
        QTest::addColumn<int>("window");
        QTest::newRow("add form") << int(AddForm);
        QTest::newRow("edit form") << int(EditForm);
        QTest::newRow("entry list") << int(EntryList);
        QTest::newRow("due list, Pay and the change-amount dialog") << int(PayDialog);
        QTest::newRow("main window and all it opens") << int(WholeProgram);
    }
    void everyWindow()
    {
        QFETCH(int, window);
        QVERIFY(f->open(kStartFile));
        std::unique_ptr<MainWindow> main;
        if (window >= WholeProgram) {
            (main = std::make_unique<MainWindow>(*f->app))->show();
            QVERIFY(QTest::qWaitForWindowActive(main.get()));
        }
        RandomUser user(uint(window) + 1, *f, Window(window), main.get()); // one fixed start each
        for (std::mt19937 pick(window); !user.finished && !platform::ProgramEnding();) {
            if (window == AddForm)
                AddRecordDialog(*f->app).exec();
            else if (window == EditForm) // the edit form never removes a line
                EditRecordDialog(*f->app, int(1 + pick() % 7)).exec();
            else if (window == EntryList)
                EntryListDialog(*f->app).exec();
            else
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        user.check(); // the last change may have finished only as its window closed
        QVERIFY2(user.fault.isEmpty(), qPrintable(user.fault));
        QVERIFY(!platform::ProgramEnding() && !f->scratch());
        QVERIFY(window != PayDialog || user.dollarDialogs > 0);
    }
};

QTEST_MAIN(TestRandomInput)
#include "tst_randominput.moc"
