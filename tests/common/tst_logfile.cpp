#include "logfile.h"
#include "unprivileged.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestLogFile : public QObject {
    Q_OBJECT

private:
    static QByteArray readAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeFile(const QString& path, const QByteArray& data) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }
    static QDateTime at(int h, int m) { return QDateTime(QDate(2026, 3, 9), QTime(h, m, 7)); }

private slots:
    void missingLogIsCreatedWithOneLine() {
        QTemporaryDir dir;
        LogFile log(dir.filePath(QStringLiteral("VXCreg.txt")));
        log.setClock([] { return at(14, 5); });
        log.write(QStringLiteral("Avvio programma è"));

        QCOMPARE(readAll(log.fileName()),
                 QByteArray("09/03/2026 14:05:07 Avvio programma \xc3\xa8\r\n"));
        // Nothing was set aside: only the log itself exists.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"VXCreg.txt"});
    }

    void entriesCannotForgeLinesOrFlood() {
        // A peer's text holding a line feed would write a made-up line of its own, and one of
        // 60,000 bytes would write all of it.
        QTemporaryDir dir;
        LogFile log(dir.filePath(QStringLiteral("VXreg.txt")));
        log.write(QStringLiteral("uno"));
        log.write(QStringLiteral(
            "[PC:X\n01/01/2026 00:00:00 ****Chiusura Programma****\x1b[2J\u2028\r]"));
        log.write(QString(60000, QLatin1Char('y')) + QStringLiteral("\r"));
        const QList<QByteArray> lines = readAll(log.fileName()).split('\n');
        QCOMPARE(lines.size(), 4); // three lines and the empty rest after the last LF
        const QRegularExpression shape(
            QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d uno\\r$"));
        QVERIFY2(shape.match(QString::fromUtf8(lines[0])).hasMatch(), lines[0].constData());
        QVERIFY(lines[1].endsWith(" [PC:X\\n01/01/2026 00:00:00 ****Chiusura "
                                  "Programma****\\x1b[2J\\u2028\\r]\r"));
        QVERIFY(lines[2].endsWith(QString(LogFile::MaxEntryChars, QLatin1Char('y')).toUtf8() +
                                  "\xe2\x80\xa6[altri 59501 caratteri]\r"));
    }

    void relativeNameLandsInCurrentFolder() {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        LogFile log(QStringLiteral("VXCreg.txt"));
        log.write(QStringLiteral("x"));
        QDir::setCurrent(previous);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("VXCreg.txt"))));
        QCOMPARE(log.setAsideName(at(9, 30)), QStringLiteral("VXCreg0903260930.txt"));
    }

    void sizeLimit_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("setAside");
        QTest::newRow("below") << qint64(999999) << false;
        QTest::newRow("exactly 1000000") << qint64(1000000) << false;
        QTest::newRow("1000001") << qint64(1000001) << true;
    }
    void sizeLimit() {
        QFETCH(qint64, size);
        QFETCH(bool, setAside);
        QTemporaryDir dir;
        LogFile log(dir.filePath(QStringLiteral("VXCreg.txt")));
        log.setClock([] { return at(14, 5); });
        const QByteArray old(size, 'a');
        writeFile(log.fileName(), old);

        log.write(QStringLiteral("nuova"));
        const QString aside = dir.filePath(QStringLiteral("VXCreg0903261405.txt"));
        const QByteArray line("09/03/2026 14:05:07 nuova\r\n");
        if (setAside) {
            QCOMPARE(readAll(aside), old);
            QCOMPARE(readAll(log.fileName()), line);
        } else {
            QVERIFY(!QFile::exists(aside));
            QCOMPARE(QFileInfo(log.fileName()).size(), size + line.size());
            QVERIFY(readAll(log.fileName()).endsWith(line));
        }
    }

    void setAsideNameUses24HourClock_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("expected");
        QTest::newRow("2 pm") << at(14, 0) << "VXreg0903261400.txt";
        QTest::newRow("five to two pm") << at(13, 55) << "VXreg0903261355.txt";
        QTest::newRow("midnight") << at(0, 0) << "VXreg0903260000.txt";
        QTest::newRow("last minute")
            << QDateTime(QDate(2027, 12, 31), QTime(23, 59)) << "VXreg3112272359.txt";
    }
    void setAsideNameUses24HourClock() {
        QFETCH(QDateTime, when);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        LogFile log(dir.filePath(QStringLiteral("VXreg.txt")));
        QCOMPARE(log.setAsideName(when), dir.filePath(expected));

        // And the file really lands there.
        log.setClock([when] { return when; });
        writeFile(log.fileName(), QByteArray(LogFile::SizeLimit + 1, 'z'));
        log.write(QStringLiteral("x"));
        QCOMPARE(QFileInfo(dir.filePath(expected)).size(), LogFile::SizeLimit + 1);
    }

    void setAsideWithinTheMinuteAndTotalLimit() {
        // A flood used to keep the log growing until the minute turned, and set-aside logs
        // were never removed: now a second set-aside in the minute takes a numbered name and the
        // oldest go once the logs together pass the total.
        QTemporaryDir dir;
        LogFile log(dir.filePath(QStringLiteral("VXCreg.txt")));
        log.setClock([] { return at(14, 5); });
        log.setTotalLimit(3 * LogFile::SizeLimit + 500);
        writeFile(dir.filePath(QStringLiteral("VXreg0101260000.txt")), "server's, not ours");
        writeFile(dir.filePath(QStringLiteral("VXCreg.bak")), "not a set-aside log");
        const QString first = log.setAsideName(at(14, 5));
        writeFile(first, QByteArray(LogFile::SizeLimit, 'a'));
        QFile oldest(first);
        QVERIFY(oldest.open(QIODevice::Append));
        QVERIFY(oldest.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                   QFileDevice::FileModificationTime));
        oldest.close();
        writeFile(log.setAsideName(at(14, 5), 2), QByteArray(LogFile::SizeLimit, 'b'));
        const QByteArray old(LogFile::SizeLimit + 1, 'c');
        writeFile(log.fileName(), old);

        log.write(QStringLiteral("ancora"));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("VXCreg0903261405_3.txt"))), old);
        QVERIFY(!QFile::exists(first)); // the oldest, by time rather than by name
        QVERIFY(QFile::exists(log.setAsideName(at(14, 5), 2)));
        QCOMPARE(readAll(log.fileName()),
                 QByteArray("09/03/2026 14:05:07 Log rimosso per restare entro lo spazio "
                            "massimo: VXCreg0903261405.txt\r\n09/03/2026 14:05:07 ancora\r\n"));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("VXreg0101260000.txt"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("VXCreg.bak"))));
    }

    void readOnlyFolderLosesTheEntrySilently() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkdir(folder));
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                          QFileDevice::ReadOther | QFileDevice::ExeOther);
        LogFile log(folder + QStringLiteral("/VXCreg.txt"));
        {
            Unprivileged asUser;
            if (!asUser.effective())
                QSKIP("running as root: folder permissions do not apply");
            log.write(QStringLiteral("persa"));
        }
        QVERIFY(!QFile::exists(log.fileName()));
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
