#pragma once
// What the suites share: a folder of the case's own holding the data file, the state
// start-up would leave on it, the platform hooks set before and reset after every case,
// one way to answer modal windows, typing, and running a child process.

#include "app/appstate.h"
#include "core/datastore.h"
#include "core/record.h"

#include <QtTest>

#include <functional>
#include <sys/wait.h>

namespace tu {

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
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

// A folder with the data file's and the scratch file's names in it.
struct Folder
{
    QTemporaryDir dir;
    QString dataPath = dir.filePath("Kestrow.txt"), tempPath = dir.filePath("xyzzy.tmp");
    std::string data = dataPath.toStdString(), temp = tempPath.toStdString();
    QByteArray bytes() const { return ReadFile(dataPath); }
    bool write(const QByteArray& contents) const { return WriteFile(dataPath, contents); }
    bool scratch() const { return QFile::exists(tempPath); }
};

// Runs `body` in a forked child, which ends when it returns. Returns the child's id and
// the read end of a pipe whose write end `body` is given.
inline std::pair<pid_t, int> Fork(const std::function<void(int out)>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        qFatal("no pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        body(fds[1]);
        ::_exit(0);
    }
    ::close(fds[1]);
    return {pid, fds[0]};
}
inline QByteArray ReadAll(int fd)
{
    QByteArray out;
    char buf[8192];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR);)
        out.append(buf, std::max<ssize_t>(n, 0));
    ::close(fd);
    return out;
}
// What `fn` returns when run in a child process.
inline QByteArray InChild(const std::function<std::string()>& fn)
{
    const auto [pid, out] = Fork([&fn](int fd) {
        const std::string text = fn();
        [[maybe_unused]] auto n = ::write(fd, text.data(), text.size());
    });
    const QByteArray text = ReadAll(out);
    ::waitpid(pid, nullptr, 0);
    return text;
}

} // namespace tu

#ifdef QT_WIDGETS_LIB
#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/printer.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>

namespace tu {

// One case's world, made in init() and dropped in cleanup(): the folder is the program's
// folder, today is 2026-06-15, messages are recorded (questions answered No unless told),
// there is no printer, and nothing is ending.
struct Fixture : Folder
{
    std::unique_ptr<AppState> app = std::make_unique<AppState>();
    Fixture()
    {
        QLocale::setDefault(QLocale::c());
        platform::ResetEndingForTesting();
        platform::MessageTestHook::install();
        platform::PrinterTestHook::install();
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
        platform::SetSystemDateForTesting({});
        platform::SetProgramFolderForTesting({});
    }
    // What start-up leaves for a data file holding `contents`.
    bool open(const QByteArray& contents)
    {
        app = std::make_unique<AppState>();
        app->setToday("2026-06-15", 6);
        if (!write(contents) || !app->openData(data, temp))
            return false;
        const auto parsed = kestrow::ParseLines(app->data().readLines());
        app->raiseHorizon(kestrow::LargestDuration(parsed.records, kestrow::kDefaultHorizon));
        return true;
    }
    static QStringList shown() { return platform::MessageTestHook::takeShown(); }
};

// Closes a modal window without its own reaction to closing (the introduction's would end
// the program).
inline void Dismiss(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->QDialog::done(QDialog::Rejected);
    else
        window->close();
}

// Answers the modal windows that open while the test waits in a click or a key: each new
// one is given the next step. One with no step left, or still open long after its step
// ran, is dismissed and noted, so no case can wait for ever. The latest Answer alive acts.
class Answer
{
public:
    using Step = std::function<void(QWidget*)>;
    explicit Answer(QList<Step> steps = {}) : steps_(std::move(steps)), outer_(latest())
    {
        latest() = this;
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(5);
    }
    ~Answer() { latest() = outer_; }
    QStringList seen;       // the object names of the windows met, in order
    QStringList unanswered; // dismissed by the safety net

private:
    static Answer*& latest()
    {
        static Answer* answer = nullptr;
        return answer;
    }
    void poll()
    {
        QWidget* window = QApplication::activeModalWidget();
        if (latest() != this || window == nullptr || !window->isVisible())
            return;
        if (handled_.contains(window)) {
            if (++stuck_ > 3000) {
                unanswered << "stuck: " + window->objectName();
                Dismiss(window);
            }
            return;
        }
        handled_ << QPointer<QWidget>(window);
        stuck_ = 0;
        seen << window->objectName();
        if (next_ >= steps_.size()) {
            unanswered << window->objectName();
            return Dismiss(window);
        }
        // From the event loop, so a step that opens the next window does not block this.
        QTimer::singleShot(0, window, [step = steps_[next_++], window] { step(window); });
    }
    QList<Step> steps_;
    Answer* outer_;
    qsizetype next_ = 0;
    QList<QPointer<QWidget>> handled_;
    int stuck_ = 0;
    QTimer timer_;
};

// A control of a window by its object name; a missing one ends the run loudly.
template <class T = QWidget> T* Find(const QWidget* window, const QString& name)
{
    T* control = window->findChild<T*>(name);
    if (control == nullptr)
        qFatal("no control %s in %s", qPrintable(name), qPrintable(window->objectName()));
    return control;
}
inline void Click(const QWidget* window, const QString& name)
{
    QTest::mouseClick(Find(window, name), Qt::LeftButton);
}

// Types key by key, letters beyond ASCII as a keyboard layout that has them sends them;
// `over` clicks into the box and types over what it holds.
inline void Type(QWidget* box, const QString& text, bool over = false)
{
    if (over) {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
    }
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
inline void Retype(const QWidget* window, const QString& box, const QString& text)
{
    Type(Find<QLineEdit>(window, box), text, true);
}

inline void ClickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QVERIFY(row >= 0 && row < list->count());
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}
// The rows of a list, and the record number each carries: the link back to the data file.
inline QStringList Rows(const QListWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}
inline QList<int> Numbers(const QListWidget* list)
{
    QList<int> numbers;
    for (int i = 0; i < list->count(); ++i)
        numbers << list->item(i)->data(Qt::UserRole).toInt();
    return numbers;
}

} // namespace tu
#endif
