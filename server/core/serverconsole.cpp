#include "serverconsole.h"

ServerConsole::ServerConsole(const QString& logFileName, QObject* parent)
    : QObject(parent), m_log(logFileName) {}

void ServerConsole::LogFile(const QString& text) const {
    m_log.write(text);
}

void ServerConsole::SpY(const QString& trace) const {
    if (m_traceOn)
        m_log.write(QStringLiteral("SpY:") + trace);
}

void ServerConsole::addMessage(const QString& line, bool select) {
    if (!m_messageDisplay)
        return;
    m_messages.append(line);
    emit messageAdded(line, select);
    if (m_messages.size() > MaxMessages) {
        const int drop = int(m_messages.size()) - MaxMessages;
        m_messages.remove(0, drop);
        emit messagesDropped(drop);
    }
}
