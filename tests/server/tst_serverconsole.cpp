// The server's log, trace filter and message list.

#include "serverconsole.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestServerConsole : public QObject {
    Q_OBJECT

private:
    static QStringList logLines(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

private slots:
    void traceReachesTheLogOnlyWhileTicked() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VXreg.txt"));
        ServerConsole console(path);
        console.trace(QStringLiteral("Timer4"));
        console.setTraceOn(true);
        console.trace(QStringLiteral("Listen"));
        console.setTraceOn(false);
        console.trace(QStringLiteral("Timer1"));
        console.log(QStringLiteral("****Apertura Programma****"));
        const QStringList lines = logLines(path);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith(QStringLiteral(" SpY:Listen")));
        QVERIFY(lines[1].endsWith(QStringLiteral(" ****Apertura Programma****")));
    }

    void messageListOnlyWhileDisplayOn() {
        QTemporaryDir dir;
        ServerConsole console(dir.filePath(QStringLiteral("VXreg.txt")));
        QSignalSpy added(&console, &ServerConsole::messageAdded);
        console.addMessage(QStringLiteral("nascosto"), true);
        QVERIFY(console.messages().isEmpty());
        QCOMPARE(added.count(), 0);
        console.setMessageDisplay(true);
        console.addMessage(QStringLiteral("visibile"), false);
        QCOMPARE(console.messages(), QStringList{QStringLiteral("visibile")});
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.first().at(1).toBool(), false);
        // The message list never writes the log on its own.
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("VXreg.txt"))));
    }

    void messageListKeepsTheNewestLines() {
        QTemporaryDir dir;
        ServerConsole console(dir.filePath(QStringLiteral("VXreg.txt")));
        console.setMessageDisplay(true);
        QSignalSpy dropped(&console, &ServerConsole::messagesDropped);
        const int total = ServerConsole::MaxMessages + 1234;
        for (int i = 0; i < total; ++i)
            console.addMessage(QString::number(i), true);
        QCOMPARE(console.messages().size(), ServerConsole::MaxMessages);
        QCOMPARE(console.messages().first(), QString::number(total - ServerConsole::MaxMessages));
        QCOMPARE(console.messages().last(), QString::number(total - 1));
        int droppedTotal = 0;
        for (const auto& args : dropped)
            droppedTotal += args.at(0).toInt();
        QCOMPARE(droppedTotal, 1234);
    }
};

QTEST_GUILESS_MAIN(TestServerConsole)
#include "tst_serverconsole.moc"
