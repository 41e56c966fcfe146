#pragma once

#include "logfile.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The server's user-facing record: the activity log (always written), the trace points (written
// as "SpY:" + label only while TraceON is ticked) and the message list Lst_Msg (filled only while
// OPT1 is ticked). The list keeps the newest MaxMessages lines, so a busy or hostile client can
// never make it grow without bound. The window mirrors it through the signals.
class ServerConsole : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxMessages = 5000;

    explicit ServerConsole(const QString& logFileName, QObject* parent = nullptr);

    void log(const QString& text) const;
    void trace(const QString& label) const;
    // Adds the line while message display is on; select: it becomes the selected (newest) line.
    void addMessage(const QString& line, bool select);

    void setTraceOn(bool on) { m_traceOn = on; }
    bool traceOn() const { return m_traceOn; }
    void setMessageDisplay(bool on) { m_messageDisplay = on; }
    bool messageDisplay() const { return m_messageDisplay; }

    const QStringList& messages() const { return m_messages; }
    const ::LogFile& logFile() const { return m_log; }

signals:
    void messageAdded(const QString& line, bool select);
    // The oldest `count` lines were dropped to stay within MaxMessages.
    void messagesDropped(int count);

private:
    ::LogFile m_log;
    QStringList m_messages;
    bool m_traceOn = false;
    bool m_messageDisplay = false;
};
