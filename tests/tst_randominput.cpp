// Random input from a fixed start of the random generator: thousands of clicks, key
// presses, pastes and typed words into each window and whatever it opens, message boxes
// answering Yes or No at random. After every action the data file may differ from before
// only as a user can ask (a record added at the end, one line replaced, lines deleted),
// and every line Kestrow wrote is a record it can read back.
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
    const auto parts = kestrow::SplitText(fields[kestrow::FieldDate], '-');
    const auto month = kestrow::PartValue(parts[1]), day = kestrow::PartValue(parts[2]);
    return parts[0].size() == 4 && *month >= 1 && *month <= 12 && *day >= 1 && *day <= 31;
}

// Empty when `after` follows from `before` by one change a user can make.
QString ChangeFault(const QByteArrayList& before, const QByteArrayList& after)
{
    if (after.size() == before.size() + 1 && after.mid(0, before.size()) == before)
        return WellFormed(after.back()) ? QString() : "added line is no record: " + after.back();
    if (after.size() == before.size()) {
        qsizetype changed = -1;
        for (qsizetype i = 0; i < after.size(); ++i) {
            if (after[i] != before[i] && changed >= 0)
                return QStringLiteral("lines %1 and %2 both changed").arg(changed + 1).arg(i + 1);
            changed = after[i] != before[i] ? i : changed;
        }
        return changed < 0 || WellFormed(after[changed]) ? QString() : "line became no record: " + after[changed];
    }
    qsizetype at = 0; // fewer lines: the same lines, some left out
    for (const QByteArray& line : before)
        at += at < after.size() && after[at] == line;
    return at == after.size() ? QString() : QStringLiteral("lines are not the old ones less some");
}

// Records due now and later, one with a sixth field, and two lines no window can use.
const QByteArray kStartFile = "Rent|Sub|2026-06-01|800.00|1\r\nbroken line\r\n"
                              "Car|Ins|2026-12-10|1234.5|12\r\nGas|Utl|2026-06-20|45.10|1\r\n"
                              "Odd|Sub|--|5|1\r\nTax|Tax|2027-04-15|2,400.00|12\r\n"
                              "Gym|Mem|2026-06-01|40.00|3|card 7\r\n";

enum Window { AddForm, EditForm, EntryList, WholeProgram, PayDialog };

// Acts on the window on top, one action a turn of the event loop, so an action that opens
// a modal window goes on inside that window's loop.
class RandomUser : public QObject
{
public:
    RandomUser(uint start, int actions, tu::Fixture& f, Window window, QWidget* main)
        : random_(start), left_(actions), f_(f), window_(window), main_(main),
          before_(tu::Lines(f.bytes()))
    {
        QTimer::singleShot(0, this, &RandomUser::turn);
    }
    bool finished = false;
    QString fault;
    int dollarDialogs = 0;

    void check()
    {
        const QByteArrayList after = tu::Lines(f_.bytes());
        const QString found = ChangeFault(before_, after);
        if (fault.isEmpty() && !found.isEmpty())
            fault = QStringLiteral("%1 actions before the end: %2").arg(left_).arg(found);
        before_ = after;
    }

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    void turn()
    {
        check();
        if (--left_ <= 0 || !fault.isEmpty()) {
            finished = true;
            while (QWidget* modal = QApplication::activeModalWidget()) {
                if (!modal->isVisible())
                    break;
                tu::Dismiss(modal);
            }
            return;
        }
        QTimer::singleShot(0, this, &RandomUser::turn); // before the action may open a window
        if (below(8) == 0)
            platform::MessageTestHook::queueAnswer(below(2) == 0);
        QWidget* w = QApplication::activeModalWidget();
        if (w == nullptr && (w = main_) == nullptr)
            return;
        dollarDialogs += w->objectName() == "frmChangeDollar" && w != lastWindow_;
        lastWindow_ = w;
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr || focus->window() != w)
            focus = w;
        const int kind = below(100);
        if (kind < 30)
            click(w);
        else if (kind < 70)
            key(focus);
        else if (kind < 99)
            text(qobject_cast<QLineEdit*>(focus), kind < 80);
        else if (w->objectName() != "frmMain" && w->objectName() != "frmIntro")
            w->close();
    }

    // Never the controls that end the program; with only Pay to try, not "Edit Entries".
    bool allowed(const QWidget* control) const
    {
        const QString name = control->objectName();
        return name != "cmdExit" && name != "cmdQuit" &&
               !(window_ == PayDialog && name == "cmdEdit" && control->window()->objectName() == "frmMain");
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
        if (controls.isEmpty())
            return;
        QWidget* control = controls[below(int(controls.size()))];
        auto* list = qobject_cast<QListWidget*>(control);
        if (list == nullptr || list->count() == 0)
            return QTest::mouseClick(control, Qt::LeftButton);
        const Qt::KeyboardModifiers modifiers[] = {{}, {}, Qt::ControlModifier, Qt::ShiftModifier};
        tu::ClickRow(list, below(list->count()), modifiers[below(4)]);
    }

    void key(QWidget* target)
    {
        static const Qt::Key keys[] = {Qt::Key_Tab,   Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Enter,
                                       Qt::Key_Escape, Qt::Key_Space,  Qt::Key_Up,     Qt::Key_Down,
                                       Qt::Key_Left,  Qt::Key_Right,   Qt::Key_Home,   Qt::Key_End,
                                       Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_PageDown};
        static const QString characters = "0123456789-./,|: aAzZ$%#\u00e9\u20ac\u00ff'\"\\";
        const bool pressesButton = qobject_cast<QAbstractButton*>(target) && !allowed(target);
        const bool onMain = target->window()->objectName() == "frmMain";
        if (below(2) == 0) {
            const Qt::Key k = keys[below(int(std::size(keys)))];
            const bool enter = k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space;
            // Pressed as often as other keys, Esc would leave the forms before they are filled.
            if ((k == Qt::Key_Escape && (target->window()->objectName() == "frmIntro" || below(4))) ||
                (enter && (pressesButton || (window_ == PayDialog && onMain))))
                return;
            return QTest::keyClick(target, k);
        }
        const QChar c = characters[below(int(characters.size()))];
        if (!(pressesButton && c == ' '))
            tu::Type(target, c);
    }

    // Pasted pieces, or a word as a user types it, right or wrong, mostly fitting the box
    // (the record forms' boxes are txtIn(0) to txtIn(4)), so records really get written.
    void text(QLineEdit* box, bool paste)
    {
        static const QStringList pieces{"a|b", "\t", "\n", "\r\n", "2026-07-01", "1e308", "nan", "-5",
                                        "12", "99999", "1,234.50", "\u00e9t\u00e9", "  ", "0", "x",
                                        QString(300, 'w')};
        static const QStringList words[] = {{"Rent", "Phone bill", "Caf\u00e9"},
                                            {"Sub", "Ins", "ab"},
                                            {"2026-07-01", "2027-1-5", "2026-13-01", "26-02-30"},
                                            {"45.10", "1,200", "0.5", "1e3"},
                                            {"12", "1", "3", "32767", "32768", "0"}};
        if (box == nullptr)
            return;
        if (paste) {
            QString clip;
            for (int n = 1 + below(3); n > 0; --n)
                clip += pieces[below(int(pieces.size()))];
            QApplication::clipboard()->setText(clip);
            return QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        }
        const QString name = box->objectName();
        const int field = name.startsWith("txtIn(") && below(4) ? name.mid(6, 1).toInt() : below(5);
        if (below(4) != 0)
            box->selectAll();
        tu::Type(box, words[field][below(int(words[field].size()))]);
    }

    std::mt19937 random_;
    int left_;
    tu::Fixture& f_;
    Window window_;
    QPointer<QWidget> main_;
    QByteArrayList before_;
    QPointer<QWidget> lastWindow_;
};

} // namespace

class TestRandomInput : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<tu::Fixture>(); }
    void cleanup() { f.reset(); }
    void everyWindow_data();
    void everyWindow();

private:
    std::unique_ptr<tu::Fixture> f;
};

void TestRandomInput::everyWindow_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<uint>("start");
    QTest::newRow("add form") << int(AddForm) << 1u;
    QTest::newRow("edit form") << int(EditForm) << 2u;
    QTest::newRow("entry list") << int(EntryList) << 3u;
    QTest::newRow("due list, Pay and the change-amount dialog") << int(PayDialog) << 4u;
    QTest::newRow("main window and all it opens") << int(WholeProgram) << 5u;
}

void TestRandomInput::everyWindow()
{
    QFETCH(int, window);
    QFETCH(uint, start);
    QVERIFY(f->open(kStartFile));
    std::unique_ptr<MainWindow> main;
    if (window == WholeProgram || window == PayDialog) {
        main = std::make_unique<MainWindow>(f->state());
        main->show();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
    }
    RandomUser user(start, 4000, *f, Window(window), main.get());
    std::mt19937 pick(start);
    while (!user.finished && !platform::ProgramEnding()) {
        if (window == AddForm) {
            AddRecordDialog(f->state()).exec();
        } else if (window == EditForm) {
            const auto lines = std::uint32_t(tu::Lines(f->bytes()).size());
            QVERIFY(lines > 0); // the edit form never removes a line
            EditRecordDialog(f->state(), int(1 + pick() % lines)).exec();
        } else if (window == EntryList) {
            EntryListDialog(f->state()).exec();
        } else {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
    }
    user.check(); // the last change may have finished only as its window closed
    QVERIFY2(user.fault.isEmpty(), qPrintable(user.fault));
    QVERIFY(!platform::ProgramEnding());
    QVERIFY(!f->scratch());
    QVERIFY(window != PayDialog || user.dollarDialogs > 0);
}

QTEST_MAIN(TestRandomInput)
#include "tst_randominput.moc"
