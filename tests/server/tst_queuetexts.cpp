// The queue as the server window words it: waiting times as people say them, and which entries
// the two buttons may touch.
#include "queuetexts.h"

#include <QTest>

class TestQueueTexts : public QObject {
    Q_OBJECT

private slots:
    void waited_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("clock behind") << qint64(-5000) << "0 s";
        QTest::newRow("seconds") << qint64(59999) << "59 s";
        QTest::newRow("a minute") << qint64(60000) << "1 min";
        QTest::newRow("hours") << qint64((3 * 60 + 5) * 60000) << "3 h 5 min";
        QTest::newRow("days") << qint64((52 * 60 + 59) * 60000) << "2 g 4 h";
    }
    void waited() {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(QueueTexts::waited(ms), text);
    }

    void buttonsTouchOnlyWhatWaits() {
        QStringList retry, discard, listed;
        for (JobState s : {JobState::Arriving, JobState::Pending, JobState::Announced,
                           JobState::Held, JobState::SetAside, JobState::Completed}) {
            QueueEntry e;
            e.state = s;
            if (QueueTexts::canPutBack(e))
                retry << QueueTexts::state(s);
            if (QueueTexts::canDiscard(e))
                discard << QueueTexts::state(s);
            if (QueueTexts::isListed(e))
                listed << QueueTexts::state(s);
        }
        QCOMPARE(retry, QStringList({"messo da parte"}));
        QCOMPARE(discard, QStringList({"in coda", "postazione non collegata", "messo da parte"}));
        QCOMPARE(listed.size(), 5);
        QVERIFY(!listed.contains(QStringLiteral("stampato")));
    }
};

QTEST_GUILESS_MAIN(TestQueueTexts)
#include "tst_queuetexts.moc"
