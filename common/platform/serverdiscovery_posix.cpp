// Linux: the work scripts of the server search are shell scripts that write their output in the
// text shape of the Windows commands they stand in for. Each writes to a temporary name and
// renames it into place, so the reader never sees half a file.
#include "posixplatform.h"

namespace {
// A text as one shell word: everything between single quotes is literal, a quote is closed,
// escaped and reopened. Computer names come from the network and are never trusted.
QByteArray shellQuoted(const QString& text) {
    QByteArray quoted = text.toUtf8();
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}
} // namespace

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
