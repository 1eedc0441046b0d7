#include "app/filewatcher.h"

#include "core/paths.h"

#include <QFile>

FileWatcher::FileWatcher(const std::string& path, QObject* parent)
    : QObject(parent), file_(QFile::decodeName(path.c_str()))
{
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &FileWatcher::settle);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileWatcher::stir);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FileWatcher::stir);
    watcher_.addPath(QFile::decodeName(kestrow::FolderOf(path).c_str()));
    watcher_.addPath(file_);
}

void FileWatcher::stir()
{
    if (!settle_.isActive())
        burst_.start();
    else if (burst_.elapsed() >= kLongestBurstMs - kSettleMs)
        return; // told when the timer runs out, however busy the file stays
    settle_.start();
}

void FileWatcher::settle()
{
    // The file watched is the one that was at the path when it was added: after a rename
    // over it, or a removal and a new file, the watch must move to the file there now.
    // Watched again before settled() is told, so no later change goes unseen.
    watcher_.removePath(file_);
    watcher_.addPath(file_);
    emit settled();
}
