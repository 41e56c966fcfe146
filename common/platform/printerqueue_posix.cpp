// Linux: the printer queues are CUPS's, asked through lpstat.
#include "posixplatform.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

bool PosixPlatform::printerAcceptsJobs(const QString& printerName) const {
    const QString lpstat = QStandardPaths::findExecutable(QStringLiteral("lpstat"));
    if (lpstat.isEmpty() || printerName.isEmpty())
        return true;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C")); // the answer is read as text
    p.setProcessEnvironment(env);
    p.start(lpstat, {QStringLiteral("-a"), printerName});
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return true;
    }
    // "<name> not accepting requests since ..." for a queue that rejects jobs.
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString refusing = printerName + QStringLiteral(" not accepting");
    for (const QString& line : out.split(u'\n'))
        if (line.startsWith(refusing))
            return false;
    return true;
}
