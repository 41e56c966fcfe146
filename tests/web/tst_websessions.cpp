#include "websessions.h"

#include <QTest>

// Sessions and login limits on a clock the test moves.
class TestWebSessions : public QObject {
    Q_OBJECT
    qint64 m_now = 1000;
    WebSessions sessions() {
        return WebSessions([this] { return m_now; });
    }

private slots:
    // A cookie lives only while it is used, not past its lifetime, and only from its address.
    void sessionsExpireAndStayWithTheirAddress() {
        WebSessions web = sessions();
        const QByteArray id = web.open(QStringLiteral("Anna"), QStringLiteral("10.0.0.5")).id;
        QVERIFY(!web.find(id, QStringLiteral("10.0.0.6")));
        QVERIFY(!web.find(QByteArray(), QStringLiteral("10.0.0.5")));
        for (qint64 used = 0; used + WebSessions::IdleMs < WebSessions::LifeMs;
             used += WebSessions::IdleMs - 1) {
            m_now += WebSessions::IdleMs - 1;
            QVERIFY(web.find(id, QStringLiteral("10.0.0.5")));
        }
        m_now += WebSessions::IdleMs - 1;
        QVERIFY(!web.find(id, QStringLiteral("10.0.0.5"))); // past its lifetime

        const QByteArray idle = web.open(QStringLiteral("Anna"), QStringLiteral("10.0.0.5")).id;
        m_now += WebSessions::IdleMs + 1;
        QVERIFY(!web.find(idle, QStringLiteral("10.0.0.5")));
    }

    // Guessing passwords from one address stops after a few tries and for a while; others can
    // still log in, one check a second.
    void guessingIsSlowedDown() {
        WebSessions web = sessions();
        const QString guesser = QStringLiteral("10.0.0.9");
        for (int i = 0; i < WebSessions::MaxFailures; ++i) {
            m_now += WebSessions::VerifyGapMs;
            QCOMPARE(web.loginRefusal(guesser), QString());
            web.loginFailed(guesser);
        }
        m_now += WebSessions::VerifyGapMs;
        QVERIFY(!web.loginRefusal(guesser).isEmpty());
        QCOMPARE(web.loginRefusal(QStringLiteral("10.0.0.5")), QString());
        QVERIFY(!web.loginRefusal(QStringLiteral("10.0.0.6")).isEmpty()); // same second
        m_now += WebSessions::BlockMs;
        QCOMPARE(web.loginRefusal(guesser), QString());
    }
};

QTEST_GUILESS_MAIN(TestWebSessions)
#include "tst_websessions.moc"
