#include "processstart.h"

#include "platform/systemerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {
int failureNumber(const QString& program, const QString& workingFolder) {
    if (!workingFolder.isEmpty() && !QFileInfo(workingFolder).isDir())
        return ErrorNumber::PathNotFound;
    // A bare name is looked up on the PATH, as the system does.
    const QString path =
        program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return ErrorNumber::FileNotFound;
    if (!info.isFile() || !info.isExecutable())
        return ErrorNumber::PermissionDenied;
    return ErrorNumber::PathFileAccess;
}

// Qt's text carries the system's reason in English.
QString startFailure(const QProcess& process) {
    const QString reason = systemReasonIn(process.errorString());
    return reason.isEmpty() ? QStringLiteral("avvio non riuscito") : reason;
}
} // namespace

Failure startProgram(const QString& program, const QStringList& arguments,
                     const QString& workingFolder, qint64* processId) {
    if (program.isEmpty())
        return {ErrorNumber::BadFileNameOrNumber, QStringLiteral("Nessun programma da avviare")};
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder);
    if (process.startDetached(processId))
        return Failure::none();
    return {failureNumber(program, workingFolder),
            QStringLiteral("Impossibile avviare %1 (%2)")
                .arg(QDir::toNativeSeparators(program), startFailure(process))};
}

void announceStarted() {
    const QString path = qEnvironmentVariable(StartedFileVariable);
    qunsetenv(StartedFileVariable);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray::number(QCoreApplication::applicationPid()));
}
