#include "systemerror.h"

#include <QFileDevice>

QString fileErrorText(const QFileDevice& file) {
    QString step;
    switch (file.error()) {
    case QFileDevice::OpenError:
        step = QStringLiteral("impossibile aprire il file");
        break;
    case QFileDevice::ReadError:
        step = QStringLiteral("errore di lettura");
        break;
    case QFileDevice::WriteError:
        step = QStringLiteral("errore di scrittura");
        break;
    case QFileDevice::RemoveError:
        step = QStringLiteral("impossibile eliminare il file");
        break;
    case QFileDevice::RenameError:
        step = QStringLiteral("impossibile rinominare il file");
        break;
    case QFileDevice::CopyError:
        step = QStringLiteral("impossibile copiare il file");
        break;
    case QFileDevice::PermissionsError:
        step = QStringLiteral("permessi del file non modificabili");
        break;
    case QFileDevice::ResizeError:
        step = QStringLiteral("impossibile cambiare la dimensione del file");
        break;
    default:
        step = QStringLiteral("errore del file");
        break;
    }
    const QString reason = systemReasonIn(file.errorString());
    return reason.isEmpty() ? step : step + QStringLiteral(": ") + reason;
}
