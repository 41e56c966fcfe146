// Stampanti.txt as a technician or the settings window writes it: what a workstation reads from
// it, what it tells about the lines it cannot use, and a window's save read back unchanged.
#include "printersfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Queues = QMap<QString, QString>;

class TestPrintersFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(PrintersFile::fileName()); }
    bool put(const QByteArray& bytes) {
        QFile f(path());
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

private slots:
    void read_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Queues>("queues");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("two kinds and an archive")
            << QByteArray("ODL=Officina\r\nFVV=Ufficio_Fronte_Retro\r\nARCHIVIO=/srv/arch\r\n")
            << Queues{{"ODL", "Officina"}, {"FVV", "Ufficio_Fronte_Retro"}} << "/srv/arch"
            << QStringList();
        QTest::newRow("typed by hand: blanks, lower case, LF, no last line end")
            << QByteArray("  fom = Magazzino \n\nPre=Banco\narchivio= \\\\srv\\Velarix\\Arch")
            << Queues{{"FOM", "Magazzino"}, {"PRE", "Banco"}} << "\\\\srv\\Velarix\\Arch"
            << QStringList();
        QTest::newRow("a folder with a comma, quoted")
            << QByteArray("\"ARCHIVIO=C:\\Archivio, 2026\"\r\n") << Queues() << "C:\\Archivio, 2026"
            << QStringList();
        QTest::newRow("lines it cannot use are named, the rest still counts")
            << QByteArray("XYZ=Laser\r\nODL\r\nPRE=\r\nFVV=Laser\r\n") << Queues{{"FVV", "Laser"}}
            << "" << QStringList{"XYZ=Laser", "ODL", "PRE="};
        QTest::newRow("accented queue name (Windows-1252)")
            << QByteArray("ODL=Stampante Segreter\xe0\r\n")
            << Queues{{"ODL", QString::fromUtf8("Stampante Segreterà")}} << "" << QStringList();
    }

    void read() {
        QFETCH(QByteArray, file);
        QFETCH(Queues, queues);
        QFETCH(QString, archive);
        QFETCH(QStringList, problems);
        QVERIFY(put(file));
        QStringList seen;
        const PrinterSettings settings = PrintersFile::read(path(), &seen);
        QCOMPARE(settings.queues, queues);
        QCOMPARE(settings.archiveFolder, archive);
        QCOMPARE(seen, problems);
    }

    void missingFileIsNoChoice() {
        QStringList seen;
        QCOMPARE(PrintersFile::read(m_dir.filePath("none.txt"), &seen), PrinterSettings());
        QVERIFY(seen.isEmpty());
    }

    void writtenFileReadsBack() {
        PrinterSettings settings;
        settings.queues = {{"ODL", "Officina"}, {"FVV", "Ufficio, piano 1"}, {"PRE", "  "}};
        settings.archiveFolder = "/mnt/velarix/Archivio, fatture";
        QVERIFY(!PrintersFile::write(path(), settings));
        QFile f(path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        // A kind left on the default printer has no line; commas survive through quotes.
        QCOMPARE(f.readAll(), QByteArray("ODL=Officina\r\n\"FVV=Ufficio, piano 1\"\r\n"
                                         "\"ARCHIVIO=/mnt/velarix/Archivio, fatture\"\r\n"));
        settings.queues.remove("PRE");
        QCOMPARE(PrintersFile::read(path()), settings);
    }
};

QTEST_GUILESS_MAIN(TestPrintersFile)
#include "tst_printersfile.moc"
