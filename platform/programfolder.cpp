#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace platform {

namespace {
QString& testFolder()
{
    static QString folder;
    return folder;
}
} // namespace

QString ProgramFolder()
{
    if (!testFolder().isEmpty())
        return testFolder();
    return QCoreApplication::applicationDirPath();
}

QString DataFolder()
{
    const QString own = ProgramFolder();
    if (!testFolder().isEmpty())
        return own;
    const QByteArray ownPath = QFile::encodeName(own);
    // A program installed among the system's commands (a package puts it in /usr/bin)
    // must not drop its data there, even when run by root, who can write anywhere.
    const bool systemFolder =
        own.startsWith(QStringLiteral("/usr/")) || own == QStringLiteral("/bin");
    if (QFileInfo::exists(own + QStringLiteral("/Kestrow.txt")) ||
        (!systemFolder && ::access(ownPath.constData(), W_OK | X_OK) == 0))
        return own;
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (perUser.isEmpty() || !QDir().mkpath(perUser))
        return {};
    return perUser;
}

void SetProgramFolderForTesting(const QString& folder)
{
    testFolder() = folder;
}

} // namespace platform
