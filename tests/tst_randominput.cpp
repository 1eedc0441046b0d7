// Random input, reproducible from a fixed start of the random generator: thousands of key
// presses, pastes, typed words and clicks into the add form, the edit form, the entry list,
// and the main window with its change-dollar dialog. Message boxes answer themselves. After
// every single action the data file may differ from before it in one of the ways a user
// can ask for (a record added at the end, one line replaced, lines deleted), every line
// Kestrow wrote must be a record it can read back, and nothing else may have changed.
#include "casebound.h"
#include "core/datastore.h"
#include "core/dates.h"
#include "core/record.h"
#include "core/text.h"
#include "forms/addrecorddialog.h"
#include "forms/changeamountdialog.h"
#include "forms/editrecorddialog.h"
#include "forms/entrylistdialog.h"
#include "forms/introdialog.h"
#include "forms/mainwindow.h"
#include "modaltest.h"
#include "platform/printer.h"
#include "teststate.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <random>

namespace {

// A line Kestrow may write: a record every window can read back, with a date of a
// four-digit year, a month from 1 to 12 and a day from 1 to 31.
bool WellFormed(const QByteArray& line)
{
    const auto fields = kestrow::SplitFields(line.toStdString());
    if (fields.size() < 5 || fields[0].empty() || fields[1].empty() ||
        !kestrow::ParseRecord(line.toStdString(), 1))
        return false;
    const auto parts = kestrow::SplitText(fields[kestrow::FieldDate], '-');
    const auto month = kestrow::PartValue(parts[1]);
    const auto day = kestrow::PartValue(parts[2]);
    return parts[0].size() == 4 && month && *month >= 1 && *month <= 12 && day && *day >= 1 &&
           *day <= 31;
}

bool IsSubsequence(const QList<QByteArray>& part, const QList<QByteArray>& whole)
{
    qsizetype at = 0;
    for (const QByteArray& line : whole) {
        if (at < part.size() && part[at] == line)
            ++at;
    }
    return at == part.size();
}

// Empty when `after` follows from `before` by one change a user can make.
QString ChangeFault(const QList<QByteArray>& before, const QList<QByteArray>& after)
{
    if (after == before)
        return {};
    if (after.size() == before.size() + 1 && after.mid(0, before.size()) == before)
        return WellFormed(after.back())
                   ? QString()
                   : QStringLiteral("added line is no record: ") + after.back();
    if (after.size() == before.size()) {
        qsizetype changed = -1;
        for (qsizetype i = 0; i < after.size(); ++i) {
            if (after[i] == before[i])
                continue;
            if (changed >= 0)
                return QStringLiteral("lines %1 and %2 both changed").arg(changed + 1).arg(i + 1);
            changed = i;
        }
        return WellFormed(after[changed])
                   ? QString()
                   : QStringLiteral("line %1 became no record: ").arg(changed + 1) + after[changed];
    }
    if (after.size() < before.size() && IsSubsequence(after, before))
        return {};
    return QStringLiteral("%1 lines became %2 that are not the same lines less some")
        .arg(before.size())
        .arg(after.size());
}

// Records due now and later, a record with a sixth field, and two lines no window can use.
const QByteArray kStartFile = "Rent|Sub|2026-06-01|800.00|1\r\n"
                              "broken line\r\n"
                              "Car|Ins|2026-12-10|1234.5|12\r\n"
                              "Gas|Utl|2026-06-20|45.10|1\r\n"
                              "Odd|Sub|--|5|1\r\n"
                              "Tax|Tax|2027-04-15|2,400.00|12\r\n"
                              "Gym|Mem|2026-06-01|40.00|3|card 7\r\n";

// Drives one window with random actions from the event loop, one action per turn of the
// loop, so that an action that opens a modal window goes on inside that window's loop.
class RandomUser : public QObject
{
public:
    // With `payOnly`, the main window's "Edit Entries" is never pressed, so the actions stay
    // with the due list, Pay and the change-dollar dialog.
    RandomUser(uint start, int actions, QWidget* top, QString dataPath, bool payOnly = false)
        : random_(start), actions_(actions), top_(top), dataPath_(std::move(dataPath)),
          payOnly_(payOnly)
    {
        before_ = modaltest::FileLines(read());
        QTimer::singleShot(0, this, &RandomUser::turn);
    }

    bool finished() const { return finished_; }
    QString fault() const { return fault_; }
    int dollarDialogs() const { return dollarDialogs_; }
    // How often the file changed, by kind of change.
    QString changes() const
    {
        return QStringLiteral("%1 added, %2 replaced, %3 deletions")
            .arg(added_)
            .arg(replaced_)
            .arg(deleted_);
    }

    // Runs the event loop until the actions are done (for a window that is not modal).
    void wait()
    {
        while (!finished_)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }

private:
    QByteArray read() const
    {
        QFile file(dataPath_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    void turn()
    {
        if (finished_)
            return;
        checkFile();
        if (++done_ >= actions_ || !fault_.isEmpty()) {
            finish();
            return;
        }
        // Asked before acting: the action may open a modal window and only return when it
        // has closed, and the next turn must run inside that window.
        QTimer::singleShot(0, this, &RandomUser::turn);
        if (below(8) == 0)
            platform::MessageTestHook::queueAnswer(below(2) == 0);
        platform::MessageTestHook::takeShown();
        act();
    }

public:
    // Compares the file with how it was at the last check. Also run once more after the
    // last action, whose change may only have finished when its window was closed.
    void checkFile()
    {
        const QList<QByteArray> after = modaltest::FileLines(read());
        if (after.size() > before_.size())
            ++added_;
        else if (after.size() < before_.size())
            ++deleted_;
        else if (after != before_)
            ++replaced_;
        const QString fault = ChangeFault(before_, after);
        if (!fault.isEmpty() && fault_.isEmpty())
            fault_ = QStringLiteral("after action %1: %2").arg(done_).arg(fault);
        before_ = after;
    }

private:
    // Every modal window is closed without its own reaction to closing: the introduction
    // screen would end the program, and the change-dollar dialog keeps the amount either way.
    void finish()
    {
        finished_ = true;
        while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (!modal->isVisible())
                break;
            modal->QDialog::done(QDialog::Rejected);
        }
    }

    QWidget* window() const
    {
        QWidget* modal = QApplication::activeModalWidget();
        return modal != nullptr ? modal : top_.data();
    }

    // The controls of `w` the user may press: not the ones that end the program.
    bool allowed(const QWidget* control) const
    {
        if (auto* main = qobject_cast<MainWindow*>(control->window()))
            return control != main->cmdExit && (!payOnly_ || control != main->cmdEdit);
        if (auto* intro = qobject_cast<IntroDialog*>(control->window()))
            return control != intro->cmdQuit;
        return true;
    }

    void act()
    {
        QWidget* w = window();
        if (w == nullptr)
            return;
        const bool dollar = qobject_cast<ChangeAmountDialog*>(w) != nullptr;
        if (dollar && !inDollarDialog_)
            ++dollarDialogs_;
        inDollarDialog_ = dollar;
        const int kind = below(100);
        if (kind < 30)
            click(w);
        else if (kind < 70)
            key(w);
        else if (kind < 80)
            paste(w);
        else if (kind < 99)
            typeWord(w);
        else if (qobject_cast<MainWindow*>(w) == nullptr &&
                 qobject_cast<IntroDialog*>(w) == nullptr)
            w->close();
    }

    void click(QWidget* w)
    {
        QList<QWidget*> controls;
        for (QWidget* child : w->findChildren<QWidget*>()) {
            if (child->window() == w && child->isVisible() && child->isEnabled() &&
                allowed(child) &&
                (qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) ||
                 qobject_cast<QListWidget*>(child)))
                controls << child;
        }
        if (controls.isEmpty())
            return;
        QWidget* control = controls[below(int(controls.size()))];
        auto* list = qobject_cast<QListWidget*>(control);
        if (list == nullptr || list->count() == 0) {
            QTest::mouseClick(control, Qt::LeftButton);
            return;
        }
        QListWidgetItem* item = list->item(below(list->count()));
        list->scrollToItem(item);
        const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier, Qt::NoModifier,
                                                   Qt::ControlModifier, Qt::ShiftModifier};
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers[below(4)],
                          list->visualItemRect(item).center());
    }

    QWidget* focused(QWidget* w) const
    {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && focus->window() == w ? focus : w;
    }

    void key(QWidget* w)
    {
        static const Qt::Key keys[] = {
            Qt::Key_Tab,   Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Enter,     Qt::Key_Escape,
            Qt::Key_Space, Qt::Key_Up,      Qt::Key_Down,   Qt::Key_Left,      Qt::Key_Right,
            Qt::Key_Home,  Qt::Key_End,     Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_PageDown};
        static const QString characters =
            QStringLiteral("0123456789-./,|: aAzZ$%#\u00e9\u20ac\u00ff'\"\\");
        QWidget* target = focused(w);
        const bool pressesButton = qobject_cast<QAbstractButton*>(target) && !allowed(target);
        if (below(2) == 0) {
            const Qt::Key k = keys[below(int(std::size(keys)))];
            // Esc closes most windows; pressed as often as other keys, forms would hardly
            // ever be filled in.
            if ((k == Qt::Key_Escape && (qobject_cast<IntroDialog*>(w) || below(4) != 0)) ||
                (pressesButton &&
                 (k == Qt::Key_Space || k == Qt::Key_Return || k == Qt::Key_Enter)) ||
                (payOnly_ && qobject_cast<MainWindow*>(w) &&
                 (k == Qt::Key_Return || k == Qt::Key_Enter)))
                return;
            QTest::keyClick(target, k);
            return;
        }
        const QChar c = characters[below(int(characters.size()))];
        if (pressesButton && c == QLatin1Char(' '))
            return;
        if (c.unicode() < 0x80)
            QTest::keyClick(target, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    QString randomText()
    {
        static const QString pieces[] = {
            QStringLiteral("a|b"),        QStringLiteral("\t"),
            QStringLiteral("\n"),         QStringLiteral("\r\n"),
            QStringLiteral("2026-07-01"), QStringLiteral("1e308"),
            QStringLiteral("nan"),        QStringLiteral("-5"),
            QStringLiteral("12"),         QStringLiteral("99999"),
            QStringLiteral("1,234.50"),   QStringLiteral("\u00e9t\u00e9"),
            QStringLiteral("  "),         QStringLiteral("0"),
            QStringLiteral("x"),          QString(300, QLatin1Char('w'))};
        QString text;
        for (int n = 1 + below(3); n > 0; --n)
            text += pieces[below(int(std::size(pieces)))];
        return text;
    }

    void paste(QWidget* w)
    {
        QWidget* target = focused(w);
        if (qobject_cast<QLineEdit*>(target) == nullptr)
            return;
        QGuiApplication::clipboard()->setText(randomText());
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    }

    // Words as a user types them, right and wrong, mostly fitting the box, so that records
    // really get written.
    void typeWord(QWidget* w)
    {
        auto* box = qobject_cast<QLineEdit*>(focused(w));
        if (box == nullptr)
            return;
        static const QStringList words[] = {
            {QStringLiteral("Rent"), QStringLiteral("Phone bill"), QStringLiteral("Caf\u00e9")},
            {QStringLiteral("Sub"), QStringLiteral("Ins"), QStringLiteral("ab")},
            {QStringLiteral("2026-07-01"), QStringLiteral("2027-1-5"), QStringLiteral("2026-13-01"),
             QStringLiteral("26-02-30")},
            {QStringLiteral("45.10"), QStringLiteral("1,200"), QStringLiteral("0.5"),
             QStringLiteral("1e3")},
            {QStringLiteral("12"), QStringLiteral("1"), QStringLiteral("3"),
             QStringLiteral("32767"), QStringLiteral("32768"), QStringLiteral("0")}};
        // The boxes of the record forms are named after their field: txtIn(0) to txtIn(4).
        const QString name = box->objectName();
        int field = below(5);
        if (name.startsWith(QLatin1String("txtIn(")) && below(4) != 0)
            field = name.mid(6, 1).toInt();
        if (below(4) != 0)
            box->selectAll();
        const QString word = words[field][below(int(words[field].size()))];
        for (const QChar c : word) {
            if (c.unicode() < 0x80)
                QTest::keyClick(box, char(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    std::mt19937 random_;
    int actions_;
    int done_ = 0;
    QPointer<QWidget> top_;
    QString dataPath_;
    bool payOnly_;
    QList<QByteArray> before_;
    QString fault_;
    bool finished_ = false;
    bool inDollarDialog_ = false;
    int dollarDialogs_ = 0;
    int added_ = 0;
    int replaced_ = 0;
    int deleted_ = 0;
};

enum Window { AddForm, EditForm, EntryList, WholeProgram, PayDialog };

} // namespace

class TestRandomInput : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyWindow_data();
    void everyWindow();

private:
    std::unique_ptr<modaltest::Folder> folder_;
};

void TestRandomInput::init()
{
    folder_ = std::make_unique<modaltest::Folder>();
    modaltest::Begin(*folder_);
    platform::PrinterTestHook::install();
}

void TestRandomInput::cleanup()
{
    modaltest::End();
    platform::PrinterTestHook::uninstall();
    folder_.reset();
}

void TestRandomInput::everyWindow_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<uint>("start");
    QTest::addColumn<int>("actions");
    QTest::newRow("add form 1") << int(AddForm) << 1u << 4000;
    QTest::newRow("add form 2") << int(AddForm) << 2u << 4000;
    QTest::newRow("edit form 1") << int(EditForm) << 1u << 4000;
    QTest::newRow("edit form 2") << int(EditForm) << 2u << 4000;
    QTest::newRow("entry list 1") << int(EntryList) << 1u << 4000;
    QTest::newRow("entry list 2") << int(EntryList) << 2u << 4000;
    QTest::newRow("due list, Pay and the change-dollar dialog 1") << int(PayDialog) << 1u << 4000;
    QTest::newRow("due list, Pay and the change-dollar dialog 2") << int(PayDialog) << 2u << 4000;
    QTest::newRow("main window and all it opens 1") << int(WholeProgram) << 1u << 4000;
    QTest::newRow("main window and all it opens 2") << int(WholeProgram) << 2u << 4000;
}

void TestRandomInput::everyWindow()
{
    QFETCH(int, window);
    QFETCH(uint, start);
    QFETCH(int, actions);
    casebound::CaseBound bound(QTest::currentDataTag(), std::chrono::seconds(600));
    QVERIFY(folder_->write(kStartFile));
    QVERIFY(folder_->open());

    std::unique_ptr<MainWindow> main;
    if (window == WholeProgram || window == PayDialog) {
        main = std::make_unique<MainWindow>(teststate::State());
        main->show();
    }
    RandomUser user(start, actions, main.get(), folder_->dataPath(), window == PayDialog);
    std::mt19937 pick(start);
    int opened = 0;
    while (!user.finished() && !platform::ProgramEnding()) {
        ++opened;
        if (window == AddForm) {
            AddRecordDialog form(teststate::State());
            form.exec();
        } else if (window == EditForm) {
            const int lines = int(modaltest::FileLines(folder_->contents()).size());
            QVERIFY(lines > 0);
            EditRecordDialog form(teststate::State(),
                                  1 + int(pick() % std::uint32_t(std::max(lines, 1))));
            form.exec();
        } else if (window == EntryList) {
            EntryListDialog list(teststate::State());
            list.exec();
        } else {
            user.wait();
        }
    }
    user.checkFile();
    QVERIFY2(user.fault().isEmpty(), qPrintable(user.fault()));
    QVERIFY(!platform::ProgramEnding());
    QVERIFY(!QFile::exists(QString::fromStdString(teststate::TempFile())));
    if (window == PayDialog)
        QVERIFY(user.dollarDialogs() > 0);
    qInfo("%d windows opened, %d change-dollar dialogs; %s", opened, user.dollarDialogs(),
          qPrintable(user.changes()));
}

QTEST_MAIN(TestRandomInput)
#include "tst_randominput.moc"
