#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

// The activity log: one line per entry, opened, appended and closed for every entry, never
// buffered. Above SizeLimit bytes the file is set aside under the prefix + "ddMMyyHHmm" + ".txt"
// name and a new one is begun. Writing never reports a failure: an entry that cannot be written is
// lost and the caller carries on.
//
// Line format: "dd/MM/yyyy HH:mm:ss" + blank + text + CR LF, UTF-8.
//
// When the set-aside name is already taken (a second set-aside within the same minute) the current
// file is neither renamed nor emptied: entries keep being appended to it, and the next entry after
// the minute has turned sets it aside under the new name.
class LogFile {
public:
    static constexpr qint64 SizeLimit = 1000000;

    // fileName is relative to the current directory unless absolute ("VXCreg.txt", "VXreg.txt").
    explicit LogFile(QString fileName);

    void write(const QString& text) const;

    QString fileName() const { return m_fileName; }
    // Name the current log would be set aside under at the given moment.
    QString setAsideName(const QDateTime& when) const;

    // Tests move the clock.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

private:
    QString m_fileName;
    std::function<QDateTime()> m_clock;
};
