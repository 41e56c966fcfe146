#pragma once

#include <QString>

// Where the web page's secrets live. The folder is apart from the server folder's other files:
// the server folder is the administrator's and published to the workstations, the secrets are
// the service's alone.
namespace WebAccess {
// $VELARIX_WEB_DIR, else <serverFolder>/.web
QString folder(const QString& serverFolder);
// $VELARIX_WEB_CERT / $VELARIX_WEB_KEY (a technician's own certificate), else folder()/server.crt
// and folder()/server.key, in PEM.
QString certificatePath(const QString& serverFolder);
QString keyPath(const QString& serverFolder);
} // namespace WebAccess
