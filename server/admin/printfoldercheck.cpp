#include "printfoldercheck.h"

#include "sharepath.h"

#include <QDir>
#include <QFileInfo>

namespace PrintFolderCheck {

QString localPath(const QString& folder, const QString& serverProgramFolder) {
    // Windows ignores blanks at the end of a path; the folder is stored with them, as typed.
    QString path = folder;
    while (path.endsWith(QLatin1Char(' ')))
        path.chop(1);
    if (SharePath::isSharePath(path))
        return SharePath::resolve(path, serverProgramFolder);
    return path;
}

State inspect(const QString& folder, const QString& serverProgramFolder) {
    const QString path = localPath(folder, serverProgramFolder);
    if (path.isEmpty())
        return State::Unlistable;
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return State::Unlistable;
    const QDir dir(path);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return entries.isEmpty() ? State::Empty : State::NotEmpty;
}

} // namespace PrintFolderCheck
