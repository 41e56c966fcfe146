#include "serverconsole.h"

ServerConsole::ServerConsole(const QString& logFileName, QObject* parent)
    : QObject(parent), m_log(logFileName) {}

void ServerConsole::log(const QString& text) const {
    m_log.write(text);
}

void ServerConsole::trace(const QString& label) const {
    if (m_traceOn)
        m_log.write(QStringLiteral("SpY:") + label);
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
