#include "platform/systemerror.h"
#include "printfilerules.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrintFileRules {
namespace {
QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("è una cartella, non un file");
    if (S_ISFIFO(mode))
        return QStringLiteral("è una pipe (FIFO), non un file");
    if (S_ISSOCK(mode))
        return QStringLiteral("è un socket, non un file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("è un dispositivo, non un file");
    return QStringLiteral("non è un file normale");
}

QString openError(int error) {
    return error == ENXIO ? QStringLiteral("è un socket o un dispositivo assente, non un file")
                          : systemErrorText(error);
}
} // namespace

namespace {
// A name that is not valid text, as people can read it: each byte that breaks it as "\xFF".
QString shownName(const QByteArray& bytes) {
    QString shown;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes.at(i));
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x06 ? 2
                           : (lead >> 4) == 0x0E ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        const QString part = length > 0 && i + length <= bytes.size()
                                 ? QString::fromUtf8(bytes.mid(i, length))
                                 : QString();
        if (!part.isEmpty() && !part.contains(QChar::ReplacementCharacter)) {
            shown += part;
            i += length;
        } else {
            shown += QStringLiteral("\\x") + QString::number(lead, 16).toUpper();
            ++i;
        }
    }
    return shown;
}
} // namespace

QStringList listFolder(const QString& folder, QStringList* badNames) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray bytes(entry->d_name);
        // Hidden files are left out; "." and ".." are kept, as a listing gives them.
        if (bytes.startsWith('.') && bytes != "." && bytes != "..")
            continue;
        const QString name = QFile::decodeName(bytes);
        if (QFile::encodeName(name) == bytes)
            names.append(name);
        else if (badNames)
            badNames->append(shownName(bytes));
    }
    ::closedir(dir);
    return names;
}

QString whyNotRegular(const QString& localPath) {
    const QByteArray native = QFile::encodeName(localPath);
    struct stat link {};
    if (::lstat(native.constData(), &link) != 0)
        return {};
    struct stat target {};
    if (!S_ISLNK(link.st_mode))
        return S_ISREG(link.st_mode) ? QString() : kindOf(link.st_mode);
    if (::stat(native.constData(), &target) != 0)
        return QStringLiteral("collegamento a un file che non esiste");
    return S_ISREG(target.st_mode) ? QString()
                                   : QStringLiteral("collegamento: ") + kindOf(target.st_mode);
}

Failure openRegularFile(QFile& file, const QString& localPath, bool* notRegular) {
    *notRegular = false;
    // Non-blocking: opening a pipe for reading would otherwise wait for a writer for ever.
    const int fd = ::open(QFile::encodeName(localPath).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(QFile::encodeName(localPath).constData(), &link) == 0) {
            *notRegular = true; // a link to nothing: there, but never readable
            return {ErrorNumber::PathFileAccess,
                    QStringLiteral("collegamento a un file che non esiste")};
        }
        if (error == ENOENT || error == ENOTDIR)
            return {ErrorNumber::FileNotFound, QStringLiteral("non trovato")};
        return {ErrorNumber::PathFileAccess, openError(error)};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *notRegular = true;
        return {ErrorNumber::PathFileAccess, kindOf(st.st_mode)};
    }
    // A regular file never blocks; reads then behave as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {ErrorNumber::PathFileAccess, QStringLiteral("non leggibile")};
    }
    return {};
}
} // namespace PrintFileRules
