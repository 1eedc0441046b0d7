#pragma once
// Driving the first-run windows from tests: a data folder of the test's own, steps that
// act on a modal window once it is up, a watchdog that closes whatever modal window is
// left so that a failing test never hangs, and the clean-up after "Exit".

#include "platform/ending.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"
#include "teststate.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace modaltest {

// The lines of a data file as Kestrow reads them, without their line ends.
inline QList<QByteArray> FileLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    for (const std::string& line :
         kestrow::SplitLines(std::string_view(bytes.constData(), std::size_t(bytes.size()))))
        lines << QByteArray::fromStdString(line);
    return lines;
}

// A program folder of the test's own; the data file in it is opened only on request.
struct Folder
{
    QTemporaryDir dir;

    QString dataPath() const { return dir.filePath(QStringLiteral("Kestrow.txt")); }
    bool exists() const { return QFile::exists(dataPath()); }

    QByteArray contents() const
    {
        QFile file(dataPath());
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return file.readAll();
    }

    bool write(const QByteArray& bytes) const
    {
        QFile file(dataPath());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    }

    // What start-up leaves behind: the paths set and the data file open.
    bool open() const;
};

// The globals start-up sets for a data file in `folder`, with today 2026-06-15.
inline void SetPaths(const QString& folder)
{
    teststate::DataFile() =
        QFile::encodeName(folder + QStringLiteral("/Kestrow.txt")).toStdString();
    teststate::TempFile() = QFile::encodeName(folder + QStringLiteral("/xyzzy.tmp")).toStdString();
    teststate::State().setToday("2026-06-15", 6);
}

inline bool Folder::open() const
{
    SetPaths(dir.path());
    return bool(teststate::State().openData(teststate::DataFile(), teststate::TempFile()));
}

// "Exit" ends the program through QCoreApplication::exit; the reset also makes the event
// loops usable again for the next case.
inline void ClearEnding()
{
    platform::ResetEndingForTesting();
}

// The common state of every case: nothing ending, messages recorded, a fresh folder.
inline void Begin(const QString& folder)
{
    ClearEnding();
    teststate::Reset();
    platform::MessageTestHook::install();
    platform::SetSystemDateForTesting(QStringLiteral("06-15-2026"));
    platform::SetProgramFolderForTesting(folder);
}

inline void Begin(const Folder& folder)
{
    Begin(folder.dir.path());
}

inline void End()
{
    QApplication::closeAllWindows();
    ClearEnding();
    teststate::Reset();
    platform::MessageTestHook::uninstall();
    platform::SetSystemDateForTesting(QString());
    platform::SetProgramFolderForTesting(QString());
}

// Runs `step` on the next visible modal window of class T, polling from the event loop
// of whatever exec() the test is waiting in. A window that never comes is given up on;
// the test's own checks then fail.
template <class T> void WhenShown(std::function<void(T*)> step)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    auto polls = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, polls, step] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (window != nullptr && !window->isVisible())
            window = nullptr;
        if (window == nullptr && ++*polls < 4000)
            return;
        timer->stop();
        timer->deleteLater();
        if (window != nullptr)
            step(window);
    });
    timer->start();
}

// Closes every modal window still open a while after it was armed, innermost first, so
// that a step that failed half way cannot leave the test waiting for ever.
class Watchdog
{
public:
    Watchdog()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (++polls_ < 6000)
                return;
            if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                fired_ = true;
                open->QDialog::done(QDialog::Rejected);
            }
        });
        timer_.start();
    }
    bool fired() const { return fired_; }

private:
    QTimer timer_;
    int polls_ = 0;
    bool fired_ = false;
};

// Types text key by key; letters beyond ASCII arrive as a key event with that text, as a
// keyboard layout that has them sends them.
inline void Type(QLineEdit* box, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
inline void Click(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

} // namespace modaltest
