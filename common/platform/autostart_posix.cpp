// Linux: start at log-on through an XDG autostart entry, the desktop's counterpart of the Run key.
#include "posixplatform.h"

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

bool PosixPlatform::setAutostart(const QString& name, const QString& command,
                                 bool enable) const {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return false;
    const QString folder = autostartLocation();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".desktop");

    if (!enable) {
        QFile::remove(path);
        return false;
    }

    if (!QDir().mkpath(folder))
        return false;
    // The command is the program file itself, no arguments: it may hold blanks.
    const QString content = QStringLiteral("[Desktop Entry]\n"
                                           "Type=Application\n"
                                           "Name=%1\n"
                                           "Exec=%2\n"
                                           "Terminal=false\n")
                                .arg(stringValue(name), execArgument(command));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content.toUtf8());
    return file.commit();
}
