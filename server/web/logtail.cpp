#include "logtail.h"

#include <QFile>

namespace LogTail {

Lines read(const QString& path, const QString& query) {
    Lines result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = QStringLiteral("Registro non leggibile: ") + path;
        return result;
    }
    const qint64 start = qMax<qint64>(0, file.size() - MaxBytes);
    file.seek(start);
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (start > 0 && !lines.isEmpty())
        lines.removeFirst(); // cut in the middle
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        QString line = *it;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || (!query.isEmpty() && !line.contains(query, Qt::CaseInsensitive)))
            continue;
        if (++result.matched <= MaxLines)
            result.newestFirst.append(line);
    }
    return result;
}

} // namespace LogTail
