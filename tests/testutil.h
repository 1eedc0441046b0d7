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
    bool write(const QByteArray& bytes) const { return WriteFile(dataPath, bytes); }
    bool scratch() const { return QFile::exists(tempPath); }
};

// Runs `body` in a child process given the write end of a pipe; returns the child's id
// and the read end. ReadAll reads a pipe to its end.
inline std::pair<pid_t, int> Fork(const std::function<void(int)>& body)
{
    int fds[2] = {-1, -1};
    const pid_t pid = ::pipe(fds) == 0 ? ::fork() : -1;
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
    QFile pipe;
    pipe.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return pipe.readAll();
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
    auto* dialog = qobject_cast<QDialog*>(window);
    dialog ? dialog->QDialog::done(QDialog::Rejected) : void(window->close());
}

// Answers the modal windows that open while the test waits in a click or a key: each new
// one is given the next step, from the event loop so that a step opening the next window
// does not block this. One with no step left, or still open long after its step ran, is
// dismissed and noted with "!", so no case can wait for ever.
struct Answer
{
    QStringList seen; // the object names of the windows met, in order
    QTimer timer;
    QPointer<QWidget> current;
    int polls = 0;
    explicit Answer(QList<std::function<void(QWidget*)>> steps = {})
    {
        QObject::connect(&timer, &QTimer::timeout, [this, steps]() mutable {
            QWidget* window = QApplication::activeModalWidget();
            if (window == nullptr || !window->isVisible() || (window == current && ++polls < 3000))
                return;
            if (window == current || steps.isEmpty()) {
                seen << "!" + window->objectName();
                return Dismiss(window);
            }
            current = window;
            polls = 0;
            seen << window->objectName();
            QTimer::singleShot(0, window, [step = steps.takeFirst(), window] { step(window); });
        });
        timer.start(5);
    }
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
// Clicks into a box, selects what it holds and types over it.
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
    QVERIFY(row >= 0 && row < list->count());
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}
// Each row of a list led by the record number it carries, the link back to the data file.
inline QStringList Rows(const QListWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->data(Qt::UserRole).toString() + " " + list->item(i)->text();
    return rows;
}

} // namespace tu
#endif
