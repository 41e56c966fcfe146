#include "folderaccess.h"

#include "commandhost.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <pwd.h>
#include <unistd.h>

namespace {
// Commands that only show leave the files as they are.
bool changes(const QString& command, const QStringList& args) {
    if (command == QLatin1String("import") || command == QLatin1String("delete-letterhead"))
        return true;
    if (command == QLatin1String("letterhead"))
        return args.size() > 1;
    return (command == QLatin1String("print-folder") || command == QLatin1String("copies")) &&
           !args.isEmpty();
}

// True unless the system refuses `mode` on an existing path; a missing file is the command's
// own business.
bool permitted(const QString& path, int mode) {
    if (::access(QFile::encodeName(path).constData(), mode) == 0)
        return true;
    return errno != EACCES && errno != EPERM;
}
} // namespace

namespace FolderAccess {

QString deniedText(const QString& path) {
    const passwd* user = ::getpwuid(::geteuid());
    const QString name =
        user ? QString::fromLocal8Bit(user->pw_name) : QString::number(::geteuid());
    return QStringLiteral("Permesso negato: %1 (utente %2)")
        .arg(QDir::toNativeSeparators(path), name);
}

bool allows(const CommandHost& host, const QString& command, const QStringList& args) {
    if (command == QLatin1String("queue") || command == QLatin1String("put-back"))
        return true; // the link to the server says so itself
    const bool writes = changes(command, args);
    const QString client = QDir::cleanPath(host.clientFolder());
    QList<QPair<QString, int>> needed{{client, R_OK | X_OK | (writes ? W_OK : 0)}};
    for (const char* name : {"Copie.txt", "Documenti.mdb", "Aggiorna.txt"})
        needed.append(
            {client + QLatin1Char('/') + QLatin1String(name), writes ? R_OK | W_OK : R_OK});
    for (const auto& [path, mode] : needed) {
        if (!permitted(path, mode)) {
            QTextStream(stderr) << deniedText(path) << '\n';
            return false;
        }
    }
    return true;
}

} // namespace FolderAccess
