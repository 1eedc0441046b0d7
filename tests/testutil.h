#pragma once
// What the suites share: a folder of the case's own holding the data file, the state
// start-up would leave on it, the platform hooks set before and reset after every case,
// one way to answer modal windows, typing, and running a child process.

#include "app/appstate.h"
#include "core/datastore.h"
#include "core/record.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace tu {

// Today in every case: the system date 06-15-2026.
inline const std::string kToday = "2026-06-15";

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
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
    QString dataPath = dir.filePath(QStringLiteral("Kestrow.txt"));
    QString tempPath = dir.filePath(QStringLiteral("xyzzy.tmp"));
    std::string data = QFile::encodeName(dataPath).toStdString();
    std::string temp = QFile::encodeName(tempPath).toStdString();

    QByteArray bytes() const { return ReadFile(dataPath); }
    bool write(const QByteArray& contents) const { return WriteFile(dataPath, contents); }
    bool scratch() const { return QFile::exists(tempPath); }
};

// Runs `body` in a forked child, which ends when it returns; `out` is the write end of a
// pipe whose read end is returned with the child's id.
struct Child
{
    pid_t pid = -1;
    int out = -1;
};
inline Child Fork(const std::function<void(int out)>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
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
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        out.append(buf, n > 0 ? n : 0);
    ::close(fd);
    return out;
}
// What `fn` returns when run in a child; the child's wait status goes to `status`.
inline QByteArray InChild(const std::function<std::string()>& fn, int& status)
{
    const Child child = Fork([&fn](int out) {
        const std::string text = fn();
        [[maybe_unused]] auto n = ::write(out, text.data(), text.size());
    });
    const QByteArray out = ReadAll(child.out);
    ::waitpid(child.pid, &status, 0);
    return out;
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
#include <QPointer>
#include <QTimer>

namespace tu {

// One case's world, made in init() and dropped in cleanup(): the folder is the program's
// folder, today is 2026-06-15, messages are recorded (questions answered No unless told),
// there is no printer, and nothing is ending.
struct Fixture : Folder
{
    std::unique_ptr<AppState> app;

    Fixture()
    {
        QLocale::setDefault(QLocale::c());
        platform::ResetEndingForTesting();
        platform::MessageTestHook::install();
        platform::PrinterTestHook::install();
        platform::SetSystemDateForTesting(QStringLiteral("06-15-2026"));
        platform::SetProgramFolderForTesting(dir.path());
    }
    ~Fixture()
    {
        QApplication::closeAllWindows();
        app.reset();
        platform::ResetEndingForTesting();
        platform::MessageTestHook::uninstall();
        platform::PrinterTestHook::uninstall();
        platform::SetSystemDateForTesting(QString());
        platform::SetProgramFolderForTesting(QString());
    }

    // What start-up leaves for a data file holding `contents`.
    bool open(const QByteArray& contents)
    {
        app = std::make_unique<AppState>();
        app->setToday(kToday, 6);
        if (!write(contents) || !app->openData(data, temp))
            return false;
        const auto parsed = kestrow::ParseLines(app->data().readLines());
        app->raiseHorizon(kestrow::LargestDuration(parsed.records, kestrow::kDefaultHorizon));
        return true;
    }
    AppState& state()
    {
        if (!app)
            app = std::make_unique<AppState>();
        return *app;
    }
    static QStringList shown() { return platform::MessageTestHook::takeShown(); }
};

// Closes a modal window without its own reaction to closing (the introduction screen's
// would end the program).
inline void Dismiss(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->QDialog::done(QDialog::Rejected);
    else
        window->close();
}

// Answers the modal windows that open while the test waits in a click or a key: each new
// one is given the next step. One with no step left, or still open long after its step
// ran, is dismissed and noted, so a failing case never waits for ever. Only the latest
// Answer alive acts.
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
    QStringList seen;       // object names of the windows met, in order
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
                unanswered << QStringLiteral("stuck: ") + window->objectName();
                stuck_ = 0;
                Dismiss(window);
            }
            return;
        }
        handled_ << QPointer<QWidget>(window);
        stuck_ = 0;
        seen << window->objectName();
        if (next_ >= steps_.size()) {
            unanswered << window->objectName();
            Dismiss(window);
            return;
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

// Types key by key; letters beyond ASCII arrive as a key event with that text, as a
// keyboard layout that has them sends them.
inline void Type(QWidget* box, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Replaces a box's text as a user does: into the box, select all, type over it.
inline void Retype(const QWidget* window, const QString& name, const QString& text)
{
    auto* box = Find<QLineEdit>(window, name);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    Type(box, text);
}

inline void ClickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QListWidgetItem* item = list->item(row);
    QVERIFY(item != nullptr);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(item).center());
}

inline QStringList Rows(const QListWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

// The record number each row carries, the link back to the data file.
inline QList<int> Numbers(const QListWidget* list)
{
    QList<int> numbers;
    for (int i = 0; i < list->count(); ++i)
        numbers << list->item(i)->data(Qt::UserRole).toInt();
    return numbers;
}

} // namespace tu
#endif
