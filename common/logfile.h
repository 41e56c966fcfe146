#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// The activity log: one line per entry, opened, appended and closed for every entry, never
// buffered. Above SizeLimit bytes the file is set aside under the prefix + "ddMMyyHHmm" + ".txt"
// name and a new one is begun; a second set-aside within the same minute takes that name with
// "_2", "_3"... before ".txt", so no log ever grows past SizeLimit and one entry. Writing never
// reports a failure: an entry that cannot be written is lost and the caller carries on.
//
// What others send ends up in entries (received messages, workstation names, paths), so nobody
// may flood or forge the log through them: control characters of the text are written escaped
// ("\r", "\n", "\x1b", "\u2028"), which keeps every entry on one line; a text longer than
// MaxEntryChars is cut there with a mark saying how much was left out; and after each set-aside
// the oldest set-aside logs of this program are removed until the log and its set-aside files
// together stay within the total limit (each removal logged in the new log).
//
// Line format: "dd/MM/yyyy HH:mm:ss" + blank + text + CR LF, UTF-8.
class LogFile {
public:
    static constexpr qint64 SizeLimit = 1000000;
    static constexpr qint64 DefaultTotalLimit = 100 * SizeLimit;
    static constexpr int MaxEntryChars = 500;

    // fileName is relative to the current directory unless absolute ("VXCreg.txt", "VXreg.txt").
    explicit LogFile(QString fileName);

    void write(const QString& text) const;

    QString fileName() const { return m_fileName; }
    // Name the current log would be set aside under at the given moment; number 2 and up give
    // the names of later set-asides within the same minute.
    QString setAsideName(const QDateTime& when, int number = 1) const;
    // The text as an entry shows it: escaped and cut.
    static QString entryText(const QString& text);

    // The log and its set-aside files together, in bytes (tests use a small one).
    void setTotalLimit(qint64 bytes) { m_totalLimit = bytes; }
    // Tests move the clock.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

private:
    // Sets the full log aside under the first free name of this minute; false when it stays.
    bool setAside(const QDateTime& now) const;
    // Removes the oldest set-aside logs beyond the total; their names, for the log.
    QStringList removeOldest() const;
    void append(const QDateTime& now, const QString& text) const;

    QString m_fileName;
    qint64 m_totalLimit = DefaultTotalLimit;
    std::function<QDateTime()> m_clock;
};
