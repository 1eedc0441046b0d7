#pragma once
// What the suites share: a case's folder with the data file and the state start-up leaves,
// platform hooks reset around each case, Run to drive the windows.

#include "app/appstate.h"
#include "core/datastore.h"
#include "core/record.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <string_view>

namespace tu {

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}
inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
// The lines of file contents as Kestrow reads them, without their line ends.
inline QByteArrayList Lines(const QByteArray& bytes)
{
    QByteArrayList lines;
    for (const std::string& line : kestrow::SplitLines(bytes.toStdString()))
        lines << QByteArray::fromStdString(line);
    return lines;
}

struct Folder
{
    QTemporaryDir dir;
    QString dataPath = dir.filePath("Kestrow.txt");
    QString tempPath = dir.filePath("xyzzy.tmp");
    std::string data = dataPath.toStdString();
    std::string temp = tempPath.toStdString();
    QByteArray bytes() const { return ReadFile(dataPath); }
    bool write(const QByteArray& bytes) const { return WriteFile(dataPath, bytes); }
    bool scratch() const { return QFile::exists(tempPath); }
};

// The system's calls, but those a case names fail with the error it gives, as on a failing
// disk: opening a file whose name ends with `opening` (or only creating it), every read or
// only one of them, every write, every rename.
struct FaultyDisk : kestrow::FileOps
{
    int openError = 0;
    std::string opening;
    bool creatingOnly = false;
    int readError = 0;
    int failingRead = 0; // when set, only the read of this number (from 1) fails
    int reads = 0;       // of the whole file, each starting at its first byte
    int writeError = 0;
    int renameError = 0;

    void failNextRead()
    {
        readError = EIO;
        failingRead = reads + 1;
    }
    int open(const char* path, int flags, mode_t mode) override
    {
        const bool named = openError != 0 && std::string_view(path).ends_with(opening);
        if (named && (!creatingOnly || (flags & O_CREAT) != 0))
            return fail(openError);
        return FileOps::open(path, flags, mode);
    }
    ssize_t pread(int fd, void* buf, size_t count, off_t at) override
    {
        reads += at == 0;
        if (readError == 0 || (failingRead != 0 && failingRead != reads))
            return FileOps::pread(fd, buf, count, at);
        return fail(readError);
    }
    ssize_t write(int fd, const void* buf, size_t count) override
    {
        if (writeError != 0)
            return fail(writeError);
        return FileOps::write(fd, buf, count);
    }
    int rename(const char* from, const char* to) override
    {
        if (renameError != 0)
            return fail(renameError);
        return FileOps::rename(from, to);
    }
    static int fail(int error)
    {
        errno = error;
        return -1;
    }
};

} // namespace tu

#ifdef QT_WIDGETS_LIB
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/printer.h"
#include "platform/programfolder.h"
#include "platform/savefile.h"
#include "platform/systemdate.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include <sys/stat.h>

namespace tu {

// One case's world: the program's folder, today 2026-06-15, messages recorded (questions
// answered No unless told), no printer, save dialogs cancelled unless answered.
struct Fixture : Folder
{
    std::unique_ptr<AppState> app = std::make_unique<AppState>();
    // How long Run waits for a window to come to the front or to close.
    int patienceMs = 10000;
    Fixture()
    {
        QLocale::setDefault(QLocale::c());
        platform::ResetEndingForTesting();
        platform::MessageTestHook::install();
        platform::PrinterTestHook::install();
        platform::SaveDialogTestHook::install();
        platform::SetSystemDateForTesting("06-15-2026");
        platform::SetProgramFolderForTesting(dir.path());
    }
    ~Fixture()
    {
        QApplication::closeAllWindows();
        app.reset();
        platform::ResetEndingForTesting();
        platform::MessageTestHook::uninstall();
        platform::PrinterTestHook::uninstall();
        platform::SaveDialogTestHook::uninstall();
        platform::SetSystemDateForTesting({});
        platform::SetProgramFolderForTesting(QString());
    }
    // The state start-up leaves on a data file holding `contents`.
    bool open(const QByteArray& contents)
    {
        app = std::make_unique<AppState>();
        app->setToday("2026-06-15", 6);
        std::string read;
        if (!write(contents) || !app->openData(data, temp) || !app->data().readContents(read))
            return false;
        const auto parsed = kestrow::ParseText(read);
        app->raiseHorizon(kestrow::LargestDuration(parsed.records, kestrow::kDefaultHorizon));
        return true;
    }
    static QStringList shown() { return platform::MessageTestHook::takeShown(); }
};

// A control of a window by its object name; a missing one ends the run loudly.
template <class T = QWidget> T* Find(const QWidget* window, const QString& name)
{
    T* control = window->findChild<T*>(name);
    if (control == nullptr)
        qFatal("no control %s in %s", qPrintable(name), qPrintable(window->objectName()));
    return control;
}

// Types key by key; letters beyond ASCII as a keyboard layout that has them sends them.
inline void Type(QWidget* target, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(target, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
// Each row of a list led by the record number it carries, the link back to the data file.
inline QStringList Rows(const QListWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->data(Qt::UserRole).toString() + " " + list->item(i)->text();
    return rows;
}

// What a user sees: "file" (line ends as "/"), "shown" (the messages since the last look),
// "printed", "scratch", "ending", "horizon", "front", or a control of `window`: a text, a
// list's rows apart by "/", a button "on"/"off" ("*" when checked), a menu's items ("(off)"
// when disabled), a picture's description.
inline QString Shows(Fixture& f, const QWidget* window, const QString& name)
{
    if (name == "file")
        return f.bytes().replace("\r\n", "/");
    if (name == "shown")
        return f.shown().join('/');
    if (name == "printed")
        return platform::PrinterTestHook::takePrinted().join('/');
    if (name == "scratch")
        return f.scratch() ? "yes" : "no";
    if (name == "ending")
        return platform::ProgramEnding() ? "yes" : "no";
    if (name == "horizon")
        return QString::number(f.app->horizonMonths());
    if (window == nullptr)
        return "no window";
    if (name == "front")
        return window->objectName();
    QWidget* c = window->findChild<QWidget*>(name);
    if (c == nullptr)
        return "nothing in " + window->objectName();
    if (auto* label = qobject_cast<QLabel*>(c))
        return label->text();
    if (auto* box = qobject_cast<QLineEdit*>(c))
        return box->text();
    if (auto* list = qobject_cast<QListWidget*>(c))
        return Rows(list).join('/');
    if (auto* menu = qobject_cast<QMenu*>(c)) {
        QStringList items;
        for (const QAction* item : menu->actions())
            items << item->text() + (item->isEnabled() ? "" : " (off)");
        return items.join('/');
    }
    if (auto* button = qobject_cast<QAbstractButton*>(c))
        return QString(c->isEnabled() ? "on" : "off") + (button->isChecked() ? "*" : "");
    return QAccessible::queryAccessibleInterface(c)->text(QAccessible::Description);
}

// A user's steps, "verb arguments" apart by ";" ("_" types a blank), each the function of its
// name below; one a turn of the event loop, so a step that opens a modal window goes on inside it.
struct Step
{
    Fixture& f;
    QWidget* front; // the modal window, else the one shown; nullptr when none is
    QString step;   // the whole step, for messages
    QStringList& failed;
    QString args = step.section(' ', 1); // what follows the verb
    bool lost = false; // a control it names is not there: the script has lost its way

    void fail(const QString& why) { failed << step + "   but " + why; }
    QString word(int i) const { return args.section(' ', i, i); }
    QString typed(int from = 0) const { return args.section(' ', from).replace('_', ' '); }
    QWidget* focus() const
    {
        QWidget* focused = front->focusWidget();
        return focused != nullptr ? focused : front;
    }
    // The control the step names first; nullptr, and the run ends, when there is none.
    template <class T = QWidget> T* control()
    {
        T* c = front->findChild<T*>(word(0));
        if (c == nullptr) {
            fail(Shows(f, front, "front") + " is in front");
            lost = true;
        }
        return c;
    }

    // click NAME
    void click()
    {
        if (QWidget* c = control())
            QTest::mouseClick(c, Qt::LeftButton);
    }
    // row LIST N [ctrl|shift]
    void row()
    {
        auto* list = control<QListWidget>();
        const int n = word(1).toInt();
        if (list == nullptr || n < 0 || n >= list->count()) {
            fail("there is no such row");
            return;
        }
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        if (word(2) == "ctrl")
            modifiers = Qt::ControlModifier;
        if (word(2) == "shift")
            modifiers = Qt::ShiftModifier;
        list->scrollToItem(list->item(n));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualItemRect(list->item(n)).center());
    }
    // type BOX TEXT: clicks into the box, selects what it holds and types over it.
    void type()
    {
        QWidget* box = control();
        if (box == nullptr)
            return;
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        Type(box, typed(1));
    }
    // key KEYS, to the control with the focus or the open menu; shortcuts see it first.
    void key()
    {
        QWidget* target = QApplication::activePopupWidget();
        QTest::keySequence(target != nullptr ? target : focus(), QKeySequence(args));
    }
    // menu NAME: a right click where a user would make it, on a list's first row.
    void menu()
    {
        QWidget* at = control();
        if (at == nullptr)
            return;
        QPoint where = at->rect().center();
        if (auto* list = qobject_cast<QListWidget*>(at)) {
            at = list->viewport();
            where = QPoint(20, 8);
        }
        QTest::mouseClick(front->windowHandle(), Qt::RightButton, {}, at->mapTo(front, where));
    }
    // pick ACTION in the open menu
    void pick()
    {
        auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* item = open != nullptr ? open->findChild<QAction*>(args) : nullptr;
        if (item == nullptr)
            fail("no open menu holds it");
        else
            QTest::mouseClick(open, Qt::LeftButton, {}, open->actionGeometry(item).center());
    }
    // enter TEXT|TEXT...: into txtIn(0)... from the one with the focus on, each left with
    // Tab, the fifth with Enter, until a box keeps the focus (it refused what was typed).
    void enter()
    {
        const QStringList parts = typed().split('|');
        for (int i = 0; i < parts.size(); ++i) {
            QWidget* box = front->findChild<QWidget*>(QStringLiteral("txtIn(%1)").arg(i));
            if (box != front->focusWidget())
                continue;
            Type(box, parts[i]);
            QTest::keyClick(box, i == 4 ? Qt::Key_Return : Qt::Key_Tab);
            if (front->focusWidget() == box)
                break;
        }
    }
    // walk NAME[=TEXT]|...: each Tab stop round to the first again, by the name and tooltip a
    // screen reader gives, TEXT typed there; then every control must lie inside the window.
    void walk()
    {
        QStringList stops = typed().split('|');
        stops << stops.first().section('=', 0, 0);
        for (int i = 0; i < stops.size(); ++i) {
            if (i > 0)
                QTest::keyClick(focus(), Qt::Key_Tab);
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(focus());
            const QString tip = focus()->toolTip();
            if (face->text(QAccessible::Name) != stops[i].section('=', 0, 0) ||
                !face->text(QAccessible::Description).startsWith(tip))
                fail("the walk met " + face->text(QAccessible::Name));
            Type(focus(), stops[i].section('=', 1));
        }
        for (QWidget* c : front->findChildren<QWidget*>()) {
            const QRect place(c->mapTo(front, QPoint()), c->size());
            if (c->isVisibleTo(front) && !front->rect().contains(place))
                fail(c->objectName() + " lies outside " + front->objectName());
        }
    }
    // paste TEXT into the control with the focus
    void paste()
    {
        QApplication::clipboard()->setText(typed());
        QTest::keyClick(focus(), Qt::Key_V, Qt::ControlModifier);
    }
    // answer yes|no: to the next question
    void answer() { platform::MessageTestHook::queueAnswer(args == "yes"); }
    // printer yes|no: whether there is one
    void printer() { platform::PrinterTestHook::setPrinterAvailable(args == "yes"); }
    // write LINES: in place, lines apart by "/"
    void write()
    {
        if (!WriteFile(f.dataPath, FileLines()))
            fail("it could not be written");
    }
    // save LINES: a new file renamed over the old one, as text editors save
    void save()
    {
        const QString fresh = f.dataPath + ".new";
        if (!WriteFile(fresh, FileLines()) ||
            ::rename(qPrintable(fresh), qPrintable(f.dataPath)) != 0)
            fail("it could not be saved");
    }
    QByteArray FileLines() const { return QString(args).replace('/', "\r\n").toUtf8(); }
    // delete file|scratch
    void remove()
    {
        if (!QFile::remove(args == "file" ? f.dataPath : f.tempPath))
            fail("there was nothing to delete");
    }
    // check NAME=WHAT (all of it, as Shows gives it, trimmed) | check NAME~PART
    void check()
    {
        const qsizetype at = args.indexOf(QRegularExpression("[=~]"));
        const QString what = args.left(at), wanted = args.mid(at + 1);
        const QString seen = Shows(f, front, what).trimmed();
        if (at < 0)
            fail("it says neither = nor ~");
        else if (args[at] == '=' ? seen != wanted : !seen.contains(wanted))
            fail(what + " shows " + seen);
    }
};

// The verbs, and whether they need a window in front.
inline const QHash<QString, std::pair<void (Step::*)(), bool>>& Verbs()
{
    static const QHash<QString, std::pair<void (Step::*)(), bool>> verbs{
        {"click", {&Step::click, true}},      {"row", {&Step::row, true}},
        {"type", {&Step::type, true}},        {"key", {&Step::key, true}},
        {"menu", {&Step::menu, true}},        {"pick", {&Step::pick, true}},
        {"enter", {&Step::enter, true}},      {"walk", {&Step::walk, true}},
        {"paste", {&Step::paste, true}},      {"answer", {&Step::answer, false}},
        {"printer", {&Step::printer, false}}, {"write", {&Step::write, false}},
        {"save", {&Step::save, false}},       {"delete", {&Step::remove, false}},
        {"check", {&Step::check, false}}};
    return verbs;
}

// The window a user's keys go to: the modal one, else the one shown.
inline QWidget* Front()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->objectName().startsWith("frm"))
            return top;
    return nullptr;
}

// Carries out a step; false when the script has lost its way.
inline bool Carry(Fixture& f, QWidget* front, const QString& text, QStringList& failed)
{
    Step step{f, front, text, failed};
    const auto verb = Verbs().constFind(text.section(' ', 0, 0));
    if (verb == Verbs().constEnd()) {
        failed << "no such step: " + text;
        return true;
    }
    if (verb->second && front == nullptr) {
        step.fail("no window is in front");
        return false;
    }
    (step.*verb->first)();
    return !step.lost;
}

// Runs the steps `next` gives until "", after `begin` (usually a modal window's exec); every
// wait ends after f.patienceMs. Returns the failures, windows left open among them (closed).
class Runner : public QObject
{
public:
    Runner(Fixture& f, std::function<QString(QWidget*)> next, std::function<void()> begin)
        : f_(f), next_(std::move(next)), begin_(std::move(begin))
    {}
    QStringList run()
    {
        later();
        QDeadlineTimer last(std::chrono::minutes(2)); // should the turns ever stop coming
        while (!done_ && !last.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!done_)
            failed_ << "the run never ended; the last step: " + step_;
        return failed_;
    }

private:
    void later(int ms = 0) { QTimer::singleShot(ms, this, &Runner::turn); }
    void turn()
    {
        QWidget* front = Front();
        if (begin_) {
            const std::function<void()> begin = std::move(begin_);
            begin_ = nullptr;
            later();
            begin(); // may hold a modal window's loop, in which the next turns run
            return;
        }
        if (!ending_ && step_.isEmpty()) {
            step_ = next_(front).trimmed();
            ending_ = step_.isEmpty();
            deadline_.setRemainingTime(f_.patienceMs);
        }
        const bool modal = front != nullptr && QApplication::activeModalWidget() != nullptr;
        const bool inactive = !ending_ && front != nullptr && !front->isActiveWindow();
        if (ending_ && !modal) {
            done_ = true;
        } else if ((ending_ || inactive) && deadline_.hasExpired()) {
            timeOut(front);
        } else if (inactive) { // keys go where a user's would: to the window in front
            front->activateWindow();
            later(5);
        } else if (ending_) {
            later();
            closeLeftOpen(front);
        } else {
            later();
            last_ = step_;
            step_.clear();
            ending_ = !Carry(f_, front, last_, failed_);
        }
    }
    // Ends the program as Exit ends it: every window closes and every modal loop is left.
    void timeOut(const QWidget* front)
    {
        QString what = step_;
        if (ending_)
            what = "closing what is left open after " + last_;
        failed_ << QStringLiteral("timed out after %1 ms: %2   with %3 in front")
                       .arg(f_.patienceMs)
                       .arg(what, front->objectName());
        done_ = true;
        platform::EndProgram();
    }
    // Without the window's own reaction (the introduction's would end Kestrow); told once.
    void closeLeftOpen(QWidget* front)
    {
        const QString failure = "left open: " + front->objectName();
        if (!failed_.contains(failure))
            failed_ << failure;
        front->setVisible(false);
    }

    Fixture& f_;
    std::function<QString(QWidget*)> next_;
    std::function<void()> begin_;
    QStringList failed_;
    QString step_; // fetched, not yet carried out
    QString last_; // carried out last
    bool ending_ = false;
    bool done_ = false;
    QDeadlineTimer deadline_;
};

inline QStringList Run(Fixture& f, const std::function<QString(QWidget*)>& next,
                       std::function<void()> begin = {})
{
    return Runner(f, next, std::move(begin)).run();
}
inline QStringList Run(Fixture& f, const QString& script, std::function<void()> begin = {})
{
    QStringList steps = script.split(';', Qt::SkipEmptyParts);
    const auto next = [&steps](QWidget*) {
        return steps.isEmpty() ? QString() : steps.takeFirst();
    };
    return Run(f, next, std::move(begin));
}

} // namespace tu
#endif
