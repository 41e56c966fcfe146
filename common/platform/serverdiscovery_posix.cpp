// Linux: the work scripts of the server search are shell scripts that write their output in the
// text shape of the Windows commands they stand in for. Each writes to a temporary name and
// renames it into place, so the reader never sees half a file.
#include "posixplatform.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {
// A text as one shell word: everything between single quotes is literal, a quote is closed,
// escaped and reopened. Computer names come from the network and are never trusted.
QByteArray shellQuoted(const QString& text) {
    QByteArray quoted = text.toUtf8();
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

// smbclient's "ls" lists a file as "  NAME   A   12345  Mon Dec  7 19:22:52 2026": after the
// name come the attribute letters, then the size.
qint64 listedSize(const QString& listing, const QString& fileName) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& line : listing.split(QLatin1Char('\n'))) {
        const QStringList words = line.split(blanks, Qt::SkipEmptyParts);
        if (words.value(0).compare(fileName, Qt::CaseInsensitive) != 0)
            continue;
        for (const QString& word : words.mid(1)) {
            bool number = false;
            const qint64 size = word.toLongLong(&number);
            if (number)
                return size;
        }
    }
    return -1;
}
} // namespace

qint64 PosixPlatform::sharedFileSize(const QString& computerName, const QString& fileName) const {
    // Names from the network become one part of the service path and of the listing command:
    // nothing that would point to another share or add a command.
    static const QRegularExpression plain(QStringLiteral("^[^\\s/\\\\;\"']+$"));
    const QString smbclient = QStandardPaths::findExecutable(QStringLiteral("smbclient"));
    if (smbclient.isEmpty() || !plain.match(computerName).hasMatch() ||
        !plain.match(fileName).hasMatch())
        return -1;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C")); // the listing is read as text
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice()); // never waits for a password
    p.start(smbclient,
            {QStringLiteral("//") + computerName + QStringLiteral("/Velarix"), QStringLiteral("-N"),
             QStringLiteral("-c"), QStringLiteral("ls ") + fileName});
    if (!p.waitForFinished(8000)) {
        p.kill();
        p.waitForFinished(1000);
        return -1;
    }
    if (p.exitStatus() != QProcess::NormalExit)
        return -1;
    return listedSize(QString::fromLocal8Bit(p.readAllStandardOutput()), fileName);
}

QByteArray PosixPlatform::serverListScript() const {
    // smbtree prints "\t\\NAME\t\tremark" under each workgroup (and "\\NAME\share" lines
    // when asked for shares); only the bare computer names are kept, once each, so a computer
    // with a remark is still a candidate.
    return QByteArrayLiteral(R"(#!/bin/sh
# Browse list of the network in the shape the client reads: heading, dashed rule,
# then one \\NAME line per computer.
{
  echo 'Nome server            Commento'
  echo '-------------------------------------------------------------------------------'
  smbtree -N -S 2>/dev/null | awk '$1 ~ /^\\\\[^\\]+$/ && !seen[$1]++ { print $1 }'
} > ./SERVER.TXT.tmp && mv -f ./SERVER.TXT.tmp ./SERVER.TXT
)");
}

QByteArray PosixPlatform::addressScript(const QString& computerName) const {
    const QByteArray name = shellQuoted(computerName);
    // getent covers DNS and /etc/hosts; nmblookup the NetBIOS names of the browse list.
    return QByteArrayLiteral("#!/bin/sh\n"
                             "# IPv4 address of a computer, written between [ and ].\n"
                             "NAME=") +
           name +
           QByteArrayLiteral(
               "\n"
               "ADDR=$(getent ahostsv4 \"$NAME\" 2>/dev/null | awk 'NR == 1 { print $1 }')\n"
               "if [ -z \"$ADDR\" ]; then\n"
               "  ADDR=$(nmblookup \"$NAME\" 2>/dev/null | awk '/<00>/ { print $1; exit }')\n"
               "fi\n"
               "if [ -n \"$ADDR\" ]; then\n"
               "  echo \"Esito per $NAME [$ADDR]\"\n"
               "else\n"
               "  echo \"Host $NAME non trovato.\"\n"
               "fi > ./IP.TXT.tmp && mv -f ./IP.TXT.tmp ./IP.TXT\n");
}

Platform::Command PosixPlatform::scriptCommand(const QString& scriptPath) const {
    return {QStringLiteral("/bin/sh"), {scriptPath}};
}
