#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>

// Who logged in to the web page, from where, and the limits on trying passwords. A session is
// known by a random cookie, bound to the address it logged in from, and ends after IdleMs without
// a request or LifeMs in all. Each session has its own random form token: a form posted without
// it (a page of another site posting into ours) does nothing.
class WebSessions {
public:
    static constexpr qint64 IdleMs = 30 * 60 * 1000;
    static constexpr qint64 LifeMs = 12 * 60 * 60 * 1000;
    static constexpr int MaxSessions = 64;
    // Failed logins from one address before it must wait BlockMs; and at most one password is
    // checked per VerifyGapMs for everyone (each check costs the server a fraction of a second).
    static constexpr int MaxFailures = 5;
    static constexpr qint64 FailureWindowMs = 15 * 60 * 1000;
    static constexpr qint64 BlockMs = 5 * 60 * 1000;
    static constexpr qint64 VerifyGapMs = 1000;

    struct Session {
        QByteArray id;
        QByteArray token;
        QString user;
        QString address;
        qint64 started = 0;
        qint64 used = 0;
        QString notice; // the outcome of the last action, shown once on the next page
    };

    using Clock = std::function<qint64()>; // milliseconds, monotonic
    explicit WebSessions(Clock clock = {});

    // The live session of that cookie from that address, its idle time restarted; none when it
    // expired, is unknown or comes from elsewhere.
    Session* find(const QByteArray& id, const QString& address);
    Session& open(const QString& user, const QString& address);
    void close(const QByteArray& id);

    // "" when a password may be checked now for that address; otherwise why not, in Italian.
    QString loginRefusal(const QString& address);
    void loginFailed(const QString& address);
    void loginSucceeded(const QString& address);

    static QByteArray randomToken();
    static bool sameToken(const QByteArray& a, const QByteArray& b);

private:
    struct Attempts {
        int failures = 0;
        qint64 first = 0;
        qint64 blockedUntil = 0;
    };
    void dropExpired(qint64 now);

    Clock m_clock;
    QHash<QByteArray, Session> m_sessions;
    QHash<QString, Attempts> m_attempts;
    qint64 m_lastVerify = -VerifyGapMs;
};
