#include "printersfile.h"

#include "settingsvalues.h"

namespace {
// A comma would end the value early; a quote cannot be part of a queue or Windows folder name.
QString quotedWhenNeeded(const QString& line) {
    if (line.contains(u',') && !line.contains(u'"'))
        return u'"' + line + u'"';
    return line;
}
} // namespace

namespace PrintersFile {

QString fileName() {
    return QStringLiteral("Stampanti.txt");
}

QStringList kinds() {
    return {QStringLiteral("ODL"), QStringLiteral("PRE"), QStringLiteral("FOM"),
            QStringLiteral("FVV")};
}

QString archiveKey() {
    return QStringLiteral("ARCHIVIO");
}

PrinterSettings read(const QString& path, QStringList* problems) {
    PrinterSettings settings;
    SettingsValues values = SettingsValues::fromFile(path);
    while (!values.atEnd()) {
        const QString value = values.next();
        if (value.trimmed().isEmpty())
            continue;
        const qsizetype eq = value.indexOf(u'=');
        const QString key = value.left(eq).trimmed().toUpper();
        const QString setting = eq < 0 ? QString() : value.mid(eq + 1).trimmed();
        if (key == archiveKey() && !setting.isEmpty()) {
            settings.archiveFolder = setting;
            continue;
        }
        if (kinds().contains(key) && !setting.isEmpty()) {
            settings.queues.insert(key, setting);
            continue;
        }
        if (problems)
            problems->append(value);
    }
    return settings;
}

Failure write(const QString& path, const PrinterSettings& settings) {
    QString text;
    for (const QString& kind : kinds()) {
        const QString queue = settings.queueFor(kind).trimmed();
        if (!queue.isEmpty())
            text += quotedWhenNeeded(kind + u'=' + queue) + QStringLiteral("\r\n");
    }
    if (!settings.archiveFolder.trimmed().isEmpty())
        text += quotedWhenNeeded(archiveKey() + u'=' + settings.archiveFolder.trimmed()) +
                QStringLiteral("\r\n");
    return writeSettingsFile(path, text);
}

bool isPrintersFile(const QString& relativeName) {
    return relativeName.compare(fileName(), Qt::CaseInsensitive) == 0;
}

} // namespace PrintersFile
