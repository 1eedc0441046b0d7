#pragma once
// The main window following its data file (MainWindow::watchDataFile). A change made
// outside Kestrow, on another computer through a sync tool or in a text editor, is read
// again and shown at once, without a message box; Kestrow's own saves are known to the
// data store and change nothing. Nothing is read again under a window that is part way
// through a change (Pay's dialog, the edit form, a message box): the look waits until it
// has closed, and the check every change makes before it writes still applies. The entry
// list is no such window: it is shown anew with the main window. A file removed, or
// replaced by one Kestrow cannot read, is told once and the windows keep what they show.
// At every look, conflict copies a sync tool left beside the file are offered for merging
// (forms/conflictcopies.h), each once while Kestrow runs.

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <set>
#include <string>

class AppState;
class FileWatcher;
class QListWidget;
class QWidget;

class LiveReload : public QObject
{
    Q_OBJECT
public:
    // `readAgain` shows the data file after it was read again, keeping the displayed month
    // and the selection where it can; `afterChange` shows it after Kestrow changed it (a
    // merge), the introduction screen included when it is then empty.
    LiveReload(AppState& state, QWidget* window, std::function<void()> readAgain,
               std::function<void()> afterChange);

private:
    void look();
    bool readAgain();
    void offerCopies(bool windowOpen);
    // Each trouble is told once, until the file has been read again.
    void tell(const std::string& text);

    AppState& state_;
    QWidget* window_;
    std::function<void()> readAgain_;
    std::function<void()> afterChange_;
    FileWatcher* watcher_;
    QTimer retry_; // a look put off while a window is open
    std::string told_;
    std::set<std::string> toldLines_; // lines no window can use, named once
    std::set<std::string> dealtWith_; // conflict copies offered while Kestrow runs
};

// The rows of a list that are selected, by their text; and the rows of those texts
// selected again once the list has been filled anew.
QStringList SelectedTexts(const QListWidget* list);
void SelectTexts(QListWidget* list, const QStringList& texts);
