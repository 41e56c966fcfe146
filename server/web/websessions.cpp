#include "websessions.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>

namespace {
qint64 monotonicNow() {
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}
} // namespace

WebSessions::WebSessions(Clock clock) : m_clock(clock ? std::move(clock) : monotonicNow) {}

QByteArray WebSessions::randomToken() {
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool WebSessions::sameToken(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size() || a.isEmpty())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

void WebSessions::dropExpired(qint64 now) {
    for (auto it = m_sessions.begin(); it != m_sessions.end();) {
        if (now - it->used > IdleMs || now - it->started > LifeMs)
            it = m_sessions.erase(it);
        else
            ++it;
    }
}

WebSessions::Session* WebSessions::find(const QByteArray& id, const QString& address) {
    const qint64 now = m_clock();
    dropExpired(now);
    auto it = m_sessions.find(id);
    if (id.isEmpty() || it == m_sessions.end() || it->address != address)
        return nullptr;
    it->used = now;
    return &*it;
}

WebSessions::Session& WebSessions::open(const QString& user, const QString& address) {
    const qint64 now = m_clock();
    dropExpired(now);
    if (m_sessions.size() >= MaxSessions) {
        const auto oldest =
            std::min_element(m_sessions.begin(), m_sessions.end(),
                             [](const Session& a, const Session& b) { return a.used < b.used; });
        m_sessions.erase(oldest);
    }
    Session session;
    session.id = randomToken();
    session.token = randomToken();
    session.user = user;
    session.address = address;
    session.started = session.used = now;
    return *m_sessions.insert(session.id, session);
}

void WebSessions::close(const QByteArray& id) {
    m_sessions.remove(id);
}

QString WebSessions::loginRefusal(const QString& address) {
    const qint64 now = m_clock();
    const Attempts attempts = m_attempts.value(address);
    if (attempts.blockedUntil > now)
        return QStringLiteral("Troppi tentativi sbagliati da questo indirizzo: riprova tra %1 "
                              "minuti.")
            .arg((attempts.blockedUntil - now) / 60000 + 1);
    if (now - m_lastVerify < VerifyGapMs)
        return QStringLiteral("Troppi accessi insieme: riprova tra qualche secondo.");
    m_lastVerify = now;
    return {};
}

void WebSessions::loginFailed(const QString& address) {
    const qint64 now = m_clock();
    Attempts& attempts = m_attempts[address];
    if (now - attempts.first > FailureWindowMs)
        attempts = {0, now, 0};
    if (++attempts.failures >= MaxFailures) {
        attempts = {0, now, now + BlockMs};
    }
    if (m_attempts.size() > 1000) // addresses that tried once long ago
        m_attempts.removeIf([now](const auto& entry) {
            return entry.value().blockedUntil < now && now - entry.value().first > FailureWindowMs;
        });
}

void WebSessions::loginSucceeded(const QString& address) {
    m_attempts.remove(address);
}
