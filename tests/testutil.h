#pragma once
// What the suites share: a case's folder with the data file and the state start-up leaves,
// platform hooks reset around each case, Run to drive the windows.

#include "app/appstate.h"
#include "core/datastore.h"
#include "core/record.h"

#include <QtTest>

#include <functional>

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

struct Folder
{
    QTemporaryDir dir;
    QString dataPath = dir.filePath("Kestrow.txt"), tempPath = dir.filePath("xyzzy.tmp");
    std::string data = dataPath.toStdString(), temp = tempPath.toStdString();
    QByteArray bytes() const { return ReadFile(dataPath); }
    bool write(const QByteArray& bytes) const { return WriteFile(dataPath, bytes); }
    bool scratch() const { return QFile::exists(tempPath); }
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
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include <fcntl.h>
#include <sys/stat.h>

namespace tu {

// One case's world: the program's folder, today 2026-06-15, messages recorded (questions
// answered No unless told), no printer, save dialogs cancelled unless answered.
struct Fixture : Folder
{
    std::unique_ptr<AppState> app = std::make_unique<AppState>();
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

// What a user sees of a control: a text, a list's rows apart by "/", a button "on"/"off"
// ("*" when checked), a menu's items ("(off)" when disabled), a picture's description; or
// "file" (line ends as "/"), "shown" (the messages since the last look), "scratch",
// "printed", "front", "ending", "horizon".
inline QString Shows(Fixture& f, QWidget* window, const QString& name)
{
    const auto yes = [](bool b) { return QString(b ? "yes" : "no"); };
    if (name == "file")
        return f.bytes().replace("\r\n", "/");
    if (name == "shown" || name == "printed")
        return (name == "shown" ? f.shown() : platform::PrinterTestHook::takePrinted()).join('/');
    if (name == "scratch" || name == "ending" || name == "horizon")
        return name == "horizon" ? QString::number(f.app->horizonMonths())
                                 : yes(name == "scratch" ? f.scratch() : platform::ProgramEnding());
    if (window == nullptr || name == "front")
        return window ? window->objectName() : "no window";
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
    return QAccessible::queryAccessibleInterface(c)->text(QAccessible::Description); // a picture
}

// Carries out a user's steps on the window in front (the modal one, else the shown one),
// one a turn of the event loop, so a step that opens a modal window goes on inside it;
// `begin` is the first step, `next` gives the others until "". In typed text "_" is a blank.
//   click NAME | row LIST N [ctrl|shift] | type BOX TEXT (over what it holds) | key KEYS
//   enter TEXT|TEXT... (into txtIn(0)... from the focus on, each left with Tab, the fifth
//   with Enter, until a box keeps the focus) | walk NAME[=TEXT]|... | paste TEXT | close
//   menu NAME (right click) | pick ACTION (in the open menu) | answer yes|no | printer yes|no
//   write LINES (in place) | save LINES (renamed over it, as editors save) | touch
//   delete file|scratch
//   check NAME=WHAT (as Shows gives it, trimmed) | check NAME~PART
// Returns the checks that failed and the windows left open at the end, which are closed.
inline QStringList Run(Fixture& f, const std::function<QString(QWidget*)>& next,
                       std::function<void()> begin = {})
{
    QStringList failed;
    bool ended = false, done = false;
    int waits = 0;
    QString held;
    QObject turns; // no turn outlives the run
    std::function<void()> turn = [&] {
        QWidget* w = QApplication::activeModalWidget();
        for (QWidget* top : QApplication::topLevelWidgets())
            w = w || !top->isVisible() || !top->objectName().startsWith("frm") ? w : top;
        const QString step = begin || ended   ? QString()
                             : held.isEmpty() ? next(w).trimmed()
                                              : std::exchange(held, QString());
        if (!step.isEmpty() && QApplication::activeWindow() != w && ++waits < 20) {
            held = step; // keys go where a user's would: to the window in front, once active
            w->activateWindow();
            return void(QTimer::singleShot(0, &turns, turn));
        }
        waits = 0;
        ended = ended || (!begin && step.isEmpty());
        if (ended && (!w || !QApplication::activeModalWidget()))
            return void(done = true);
        QTimer::singleShot(0, &turns, turn);
        if (begin)
            return std::exchange(begin, nullptr)();
        if (ended) { // closed without its own reaction (the introduction's would end Kestrow)
            failed << "left open: " + w->objectName();
            return qobject_cast<QDialog*>(w) ? qobject_cast<QDialog*>(w)->QDialog::done(0)
                                             : void(w->close());
        }
        const QString verb = step.section(' ', 0, 0), name = step.section(' ', 1, 1),
                      rest = step.section(' ', 2);
        const QString text = step.section(' ', 1).replace('_', ' ');
        QWidget* focus = w && w->focusWidget() ? w->focusWidget() : w;
        if ((!w && verb != "check") ||
            (QStringList{"click", "row", "type", "menu"}.contains(verb) &&
             !w->findChild<QWidget*>(name))) {
            failed << step + "   but " + Shows(f, w, "front") + " is in front";
            ended = true; // the script has lost its way
        } else if (verb == "click") {
            QTest::mouseClick(Find(w, name), Qt::LeftButton);
        } else if (verb == "row") {
            ClickRow(Find<QListWidget>(w, name), rest.section(' ', 0, 0).toInt(),
                     rest.endsWith("ctrl")    ? Qt::ControlModifier
                     : rest.endsWith("shift") ? Qt::ShiftModifier
                                              : Qt::NoModifier);
        } else if (verb == "type") { // clicks into the box, selects what it holds, types over it
            QTest::mouseClick(Find(w, name), Qt::LeftButton);
            QTest::keyClick(Find(w, name), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(Find(w, name), Qt::Key_Backspace);
            Type(Find(w, name), QString(rest).replace('_', ' '));
        } else if (verb == "key") { // as the desktop delivers it, so shortcuts see it too
            // (QTest's own window keys run the event loop, and so the next step, inside.)
            QWidget* popup = QApplication::activePopupWidget();
            for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
                qt_handleKeyEvent(popup ? popup->windowHandle() : w->windowHandle(), type,
                                  QKeySequence(name)[0].key(),
                                  QKeySequence(name)[0].keyboardModifiers());
        } else if (verb == "menu") {
            auto* list = qobject_cast<QListWidget*>(Find(w, name));
            QWidget* at = list ? list->viewport() : Find(w, name);
            QTest::mouseClick(w->windowHandle(), Qt::RightButton, {},
                              at->mapTo(w, list ? QPoint(20, 8) : at->rect().center()));
        } else if (verb == "pick") {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QAction* item = menu ? menu->findChild<QAction*>(name) : nullptr;
            if (item == nullptr)
                failed << step + "   but no open menu holds it";
            else
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        } else if (verb == "enter") {
            const QStringList parts = text.split('|');
            for (int i = 0; i < parts.size(); ++i) {
                QWidget* box = w->findChild<QWidget*>(QStringLiteral("txtIn(%1)").arg(i));
                if (box != w->focusWidget())
                    continue;
                Type(box, parts[i]);
                QTest::keyClick(box, i == 4 ? Qt::Key_Return : Qt::Key_Tab);
                if (w->focusWidget() == box)
                    break;
            }
        } else if (verb == "walk") {
            // Each stop of the Tab order from the focus round to it again, by the name and
            // description (the tooltip) a screen reader gives; "=TEXT" is typed there.
            const QStringList stops = text.split('|') << text.section('|', 0, 0);
            for (const QString& stop : stops) {
                QWidget* at = w->focusWidget();
                QAccessibleInterface* face = QAccessible::queryAccessibleInterface(at);
                if (face->text(QAccessible::Name) != stop.section('=', 0, 0) ||
                    (!at->toolTip().isEmpty() &&
                     !face->text(QAccessible::Description).startsWith(at->toolTip())))
                    failed << "walk met " + face->text(QAccessible::Name) + " for " + stop;
                Type(at, stop.section('=', 1));
                if (&stop != &stops.back())
                    QTest::keyClick(at, Qt::Key_Tab);
            }
            for (QWidget* c : w->findChildren<QWidget*>()) // every control inside the window
                if (c->isVisibleTo(w) &&
                    !w->rect().contains(QRect(c->mapTo(w, QPoint()), c->size())))
                    failed << c->objectName() + " lies outside " + w->objectName();
        } else if (verb == "paste") {
            QApplication::clipboard()->setText(text);
            QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
        } else if (verb == "close") {
            w->close();
        } else if (verb == "answer" || verb == "printer") {
            verb == "answer" ? platform::MessageTestHook::queueAnswer(name == "yes")
                             : platform::PrinterTestHook::setPrinterAvailable(name == "yes");
        } else if (verb == "write" || verb == "save") {
            const QByteArray lines = step.section(' ', 1).replace('/', "\r\n").toUtf8();
            const QString fresh = verb == "write" ? f.dataPath : f.dataPath + ".new";
            if (!WriteFile(fresh, lines) ||
                (fresh != f.dataPath && ::rename(qPrintable(fresh), qPrintable(f.dataPath)) != 0))
                failed << "could not " + step;
        } else if (verb == "touch") { // a new time, the same bytes
            const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
            ::utimensat(AT_FDCWD, qPrintable(f.dataPath), times, 0);
        } else if (verb == "delete") {
            QFile::remove(name == "file" ? f.dataPath : f.tempPath);
        } else if (verb == "check") {
            const qsizetype at = step.indexOf(QRegularExpression("[=~]"));
            const QString what = step.mid(6, at - 6), seen = Shows(f, w, what).trimmed();
            if (step[at] == '=' ? seen != step.mid(at + 1) : !seen.contains(step.mid(at + 1)))
                failed << step + "   but " + what + " shows " + seen;
        } else {
            failed << "no such step: " + step;
        }
    };
    QTimer::singleShot(0, &turns, turn);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return failed;
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
