// Linux: start at log-on through an XDG autostart entry, the desktop's counterpart of the Run key.
#include "posixplatform.h"
#include "systemerror.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {
// Exec= argument: quoted when it holds a reserved character; inside quotes ", `, $ and \ get a
// backslash. The whole line is then a string value, whose own escape doubles every backslash, and
// a literal % is written %% (field codes).
QString execArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (QChar c : argument) {
        if (reserved.contains(c)) {
            needsQuotes = true;
            break;
        }
    }
    QString arg;
    if (needsQuotes) {
        arg = QStringLiteral("\"");
        for (QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                arg += QLatin1Char('\\');
            arg += c;
        }
        arg += QLatin1Char('"');
    } else {
        arg = argument;
    }
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    arg.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return arg;
}

QString stringValue(const QString& text) {
    QString v = text;
    v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    v.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    v.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    v.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return v;
}
} // namespace

QString PosixPlatform::autostartLocation() const {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

// The entry's file, <location>/<name>.desktop; a name that would leave the folder is refused.
Failure PosixPlatform::entryPath(const QString& name, QString* path) const {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return {ErrorNumber::BadFileNameOrNumber,
                QStringLiteral("Nome non valido per l'avvio automatico: %1").arg(name)};
    *path = autostartLocation() + QLatin1Char('/') + name + QStringLiteral(".desktop");
    return Failure::none();
}

Failure PosixPlatform::addAutostart(const QString& name, const QString& command) const {
    QString path;
    if (Failure f = entryPath(name, &path))
        return f;
    const QString folder = autostartLocation();
    if (!QDir().mkpath(folder))
        return {ErrorNumber::PathFileAccess,
                QStringLiteral("Impossibile creare la cartella %1").arg(folder)};
    // The command is the program file itself, no arguments: it may hold blanks.
    const QString content = QStringLiteral("[Desktop Entry]\n"
                                           "Type=Application\n"
                                           "Name=%1\n"
                                           "Exec=%2\n"
                                           "Terminal=false\n")
                                .arg(stringValue(name), execArgument(command));
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(content.toUtf8()) >= 0 && file.commit())
        return Failure::none();
    return {ErrorNumber::PathFileAccess,
            QStringLiteral("Impossibile scrivere %1 (%2)").arg(path, fileErrorText(file))};
}

Failure PosixPlatform::removeAutostart(const QString& name) const {
    QString path;
    if (Failure f = entryPath(name, &path))
        return f;
    QFile file(path);
    if (!file.exists() || file.remove())
        return Failure::none();
    return {ErrorNumber::PathFileAccess,
            QStringLiteral("Impossibile eliminare %1 (%2)").arg(path, fileErrorText(file))};
}
