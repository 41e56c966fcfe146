#include "systemerror.h"

#include <cerrno>

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
        return QStringLiteral("disco pieno");
    case EROFS:
        return QStringLiteral("disco in sola lettura");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("troppi file aperti");
    case EINVAL:
        return QStringLiteral("operazione non disponibile su questo disco");
    case EAGAIN:
        return QStringLiteral("risorsa occupata");
    default:
        return QStringLiteral("errore di sistema %1").arg(error);
    }
}
