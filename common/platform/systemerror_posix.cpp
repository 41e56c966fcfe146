#include "systemerror.h"

#include <cerrno>
#include <cstring>
#include <utility>

QString systemErrorText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case ENOENT:
        return QStringLiteral("file inesistente");
    case ELOOP:
        return QStringLiteral("collegamento simbolico (o circolare)");
    case ENAMETOOLONG:
        return QStringLiteral("nome troppo lungo");
    case ENXIO:
        return QStringLiteral("dispositivo o socket non raggiungibile");
    case EIO:
        return QStringLiteral("errore di lettura o scrittura del disco");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("disco pieno");
    case ENOTDIR:
        return QStringLiteral("cartella inesistente");
    case EISDIR:
        return QStringLiteral("è una cartella");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("file in uso");
    case EEXIST:
        return QStringLiteral("file già esistente");
    case EXDEV:
        return QStringLiteral("su un altro disco");
    case EROFS:
        return QStringLiteral("disco in sola lettura");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("troppi file aperti");
    case EINVAL:
        return QStringLiteral("operazione non disponibile su questo disco");
    case EAGAIN:
        return QStringLiteral("risorsa occupata");
    case ECONNREFUSED:
        return QStringLiteral("connessione rifiutata");
    case ECONNRESET:
    case EPIPE:
        return QStringLiteral("connessione interrotta");
    case ETIMEDOUT:
        return QStringLiteral("tempo scaduto");
    default:
        return QStringLiteral("errore di sistema %1").arg(error);
    }
}

QString systemReasonIn(const QString& text) {
    // The errors a file or folder operation meets in an office, most telling first.
    static const int known[] = {EACCES,     EPERM,  ENOSPC,   EDQUOT, EROFS,        ENOENT,
                                ENOTDIR,    EISDIR, ELOOP,    EBUSY,  ETXTBSY,      EEXIST,
                                EXDEV,      EIO,    EMFILE,   ENFILE, ENAMETOOLONG, ECONNREFUSED,
                                ECONNRESET, EPIPE,  ETIMEDOUT};
    // Qt says these four in English whatever the system's language.
    static const std::pair<int, const char*> fixed[] = {{EACCES, "Permission denied"},
                                                        {EMFILE, "Too many open files"},
                                                        {ENOENT, "No such file or directory"},
                                                        {ENOSPC, "No space left on device"}};
    for (const auto& [error, words] : fixed) {
        if (text.contains(QLatin1String(words), Qt::CaseInsensitive))
            return systemErrorText(error);
    }
    for (int error : known) {
        if (text.contains(QString::fromLocal8Bit(std::strerror(error)), Qt::CaseInsensitive))
            return systemErrorText(error);
    }
    return {};
}
