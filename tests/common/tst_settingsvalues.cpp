#include "settingsvalues.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsValues : public QObject {
    Q_OBJECT

private slots:
    void values_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("commas") << QByteArray("a,b,c") << QStringList{"a", "b", "c"};
        QTest::newRow("leading blanks skipped, trailing kept")
            << QByteArray("  a,\t b ,c") << QStringList{"a", "b ", "c"};
        QTest::newRow("quotes dropped") << QByteArray("\"host\"\r\n") << QStringList{"host"};
        QTest::newRow("quoted comma")
            << QByteArray("\"C:\\Stampe, nuove\",2") << QStringList{"C:\\Stampe, nuove", "2"};
        QTest::newRow("blanks before quote") << QByteArray("   \" x \"") << QStringList{" x "};
        QTest::newRow("text after closing quote dropped")
            << QByteArray("\"a\"junk,b") << QStringList{"a", "b"};
        QTest::newRow("unpaired quote is text")
            << QByteArray("\"open,x") << QStringList{"\"open", "x"};
        QTest::newRow("quote does not cross a line end")
            << QByteArray("\"a\r\nb\"") << QStringList{"\"a", "b\""};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("lone LF") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
        QTest::newRow("no final line end") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("empty line is an empty value")
            << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
        QTest::newRow("only blanks") << QByteArray("    \r\n") << QStringList{""};
        QTest::newRow("comma then line end") << QByteArray("a,\r\nb") << QStringList{"a", "", "b"};
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("\x80 10,citt\xe0")
            << QStringList{QStringLiteral("€ 10"), QStringLiteral("città")};
        QTest::newRow("NUL inside")
            << QByteArray("a\0b,c", 5) << QStringList{QString::fromLatin1("a\0b", 3), "c"};
    }
    void values() {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, expected);
        SettingsValues reader(data);
        QCOMPARE(reader.all(), expected);
        QVERIFY(reader.atEnd());
        QCOMPARE(reader.next(), QString());
    }

    void copiesFileSequence() {
        // Print folder, six copy counts (the third empty), the two switches.
        SettingsValues reader(
            QByteArray("C:\\Stampe\\\r\n2\r\n3\r\n\r\n4\r\n5\r\n6\r\n 1 \r\n0\r\n"));
        QStringList got;
        while (!reader.atEnd())
            got << reader.next();
        QCOMPARE(got, (QStringList{"C:\\Stampe\\", "2", "3", "", "4", "5", "6", "1 ", "0"}));
    }

    void firstValueOfFile_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::newRow("host and remark") << QByteArray("server1,ufficio\r\n") << "server1";
        QTest::newRow("blanks only") << QByteArray("   \r\n") << "";
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("quoted address") << QByteArray(" \"192.168.1.10\"\r\n") << "192.168.1.10";
    }
    void firstValueOfFile() {
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("IPHost.set"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
        f.close();
        QCOMPARE(readFirstSettingsValue(path), expected);
    }

    void missingFile() {
        QVERIFY(SettingsValues::fromFile(QStringLiteral("/nonexistent/Copie.txt")).atEnd());
        QCOMPARE(readFirstSettingsValue(QStringLiteral("/nonexistent/IPHost.set")), QString());
    }

    void binaryBytesNeverCrossALineEnd() {
        QByteArray data(256 * 1024, '\0');
        QRandomGenerator rng(42);
        for (char& c : data)
            c = char(rng.bounded(256));
        SettingsValues reader(data);
        qsizetype total = 0;
        int count = 0;
        while (!reader.atEnd()) {
            const QString v = reader.next();
            QVERIFY(!v.contains(QLatin1Char('\r')) && !v.contains(QLatin1Char('\n')));
            total += v.size();
            ++count;
        }
        QVERIFY(count > 1000);        // about one delimiter in 85 bytes
        QVERIFY(total < data.size()); // delimiters are never part of a value
    }

    void tenMegabyteFileIsReadOnlyUpToTheLimit() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Copie.txt"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray chunk = QByteArray("x,").repeated(512 * 1024); // 1 MB
            for (int i = 0; i < 10; ++i)
                f.write(chunk);
        }
        QCOMPARE(QFileInfo(path).size(), qint64(10 * 1024 * 1024));
        SettingsValues reader = SettingsValues::fromFile(path);
        QCOMPARE(reader.all().size(), int(SettingsValues::ReadLimit / 2));

        // One huge line without a delimiter gives one value cut at the limit.
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(10 * 1024 * 1024, 'y'));
        }
        QCOMPARE(readFirstSettingsValue(path).size(), SettingsValues::ReadLimit);
    }
};

QTEST_GUILESS_MAIN(TestSettingsValues)
#include "tst_settingsvalues.moc"
