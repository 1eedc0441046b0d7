#pragma once
// Watches the data file for changes made while Kestrow runs: another program writing it in
// place, an editor or a sync tool saving a new file and renaming it over the old one, the
// file removed and made again, a conflict copy put beside it. The folder is watched too,
// since a rename replaces the file the system was watching. One save is a burst of events
// (a write, a rename, new attributes); they are gathered while they keep coming, for a
// short while, and told as one settled(). Kestrow's own saves are told like any other:
// whether the file really changed is for the data store to say (DataStore::checkFile).

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <string>

class FileWatcher : public QObject
{
    Q_OBJECT
public:
    // Quiet time that ends a burst, and the longest a burst is gathered before it is told
    // anyway (a file written for many seconds on end).
    static constexpr int kSettleMs = 200;
    static constexpr int kLongestBurstMs = 700;

    // `path` is the system's bytes.
    explicit FileWatcher(const std::string& path, QObject* parent = nullptr);

signals:
    void settled();

private:
    void stir();
    void settle();

    QString file_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    QElapsedTimer burst_;
};
