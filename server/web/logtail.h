#pragma once

#include <QString>
#include <QStringList>

// The last lines of the activity log, newest first, for the web page's "Registro": at most
// MaxLines, read from at most the file's last MaxBytes (a log is set aside at about 1 MB).
namespace LogTail {
constexpr int MaxLines = 300;
constexpr qint64 MaxBytes = 512 * 1024;

struct Lines {
    QStringList newestFirst;
    int matched = 0; // lines that matched, before the cut at MaxLines
    QString problem; // why the log could not be read, in Italian; "" when it was
};
// query: only lines that hold it, in any case; "" for all.
Lines read(const QString& path, const QString& query);
} // namespace LogTail
