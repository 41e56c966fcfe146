#include "processstart.h"

#include <QProcess>

bool startDetached(const QString& program, const QStringList& arguments,
                   const QString& workingFolder) {
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments, workingFolder);
}
