#pragma once

#include "printjob.h"

#include <QHash>
#include <QList>
#include <QString>

// Why each set-aside file of the print folder was set aside, kept across a restart of the server
// (the watcher's records are rebuilt from the files, which cannot say why). One file in the
// server's program folder, "MessiDaParte.txt", one line per file: name, a tab, the reason, and
// (when there is one) a tab and the cause, for the server to act on (an unknown company's files go
// back once it is there); a line without a cause, as older servers wrote, has none. It lies
// outside the print folder on purpose: anything there that is not ".PRN" or ".ERR" would be taken
// as a new print file, and the print folder belongs to the management program.
class SetAsideReasons {
public:
    static const QString FileName;

    struct Reason {
        QString text; // "" when there is none
        JobCause cause = JobCause::None;
        bool operator==(const Reason&) const = default;
    };

    explicit SetAsideReasons(const QString& programFolder);

    // The reasons the file holds; a missing or unreadable file holds none.
    void load();
    // The stored reason of a set-aside file.
    Reason reasonOf(const QString& fileName) const { return m_reasons.value(fileName); }
    // Keeps the reasons of the queue's set-aside files, and only those; the file is written
    // (whole, through QSaveFile) when they differ from what it holds. A failed write is
    // returned for the log and tried again at the next change.
    bool keep(const QList<QueueEntry>& queue, QString* error);

private:
    QString m_path;
    QHash<QString, Reason> m_reasons;
};
