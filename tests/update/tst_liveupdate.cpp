// A running client following the share's Client folder: changed data files are taken in place
// (the local Documenti.mdb too, although an import has made it newer), the client program only
// through the updater, and each problem is reported once.
#include "liveupdate.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
// The share's Client folder and a program folder holding copies of it, an hour old.
struct Folders {
    QTemporaryDir root;
    QString client = root.filePath(QStringLiteral("share/Client/"));
    QString install = root.filePath(QStringLiteral("cl/"));
    QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);

    Folders() {
        for (const char* name : {"Copie.txt", "Documenti.mdb", "Aggiorna.txt", "VelarixCL"}) {
            writeFile(client + name, QByteArray("old ") + name, hourAgo);
            writeFile(install + name, QByteArray("old ") + name, hourAgo);
        }
    }
    LiveUpdate live() const {
        return LiveUpdate(UpdateCheck(QStringLiteral("\\\\srv\\Velarix\\"),
                                      root.filePath(QStringLiteral("share")), install),
                          install, QStringLiteral("VelarixCL"));
    }
};
} // namespace

class LiveUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void letterheadSavedOnTheServer();
    void newProgramGoesThroughTheUpdater();
    void problemsAreReportedOnce();
};

void LiveUpdateTest::letterheadSavedOnTheServer() {
    Folders f;
    LiveUpdate live = f.live();
    live.remember();
    // Printing rewrites the local database: it is newer than the share's from now on.
    writeFile(f.install + "Documenti.mdb", "tables of the last document");
    QCOMPARE(live.run().action, LiveUpdate::Action::None);

    // "Dati Ditta" saves the database and rewrites the flag file.
    writeFile(f.client + "Documenti.mdb", "new letterhead");
    writeFile(f.client + "Aggiorna.txt", "SI\r\n");
    const LiveUpdate::Result result = live.run();
    QCOMPARE(result.action, LiveUpdate::Action::Refreshed);
    QCOMPARE(result.copied, (QStringList{"Aggiorna.txt", "Documenti.mdb"}));
    QCOMPARE(result.logLine,
             QStringLiteral("Aggiornamento dal server: Aggiorna.txt, Documenti.mdb"));
    QCOMPARE(readFile(f.install + "Documenti.mdb"), QByteArray("new letterhead"));
    QCOMPARE(readFile(f.install + "VelarixCL"), QByteArray("old VelarixCL"));

    const LiveUpdate::Result again = live.run();
    QCOMPARE(again.action, LiveUpdate::Action::None);
    QVERIFY(again.logLine.isEmpty());

    // A second save within the same minute, after another document was printed: the stamps to
    // the minute see nothing new, the share's files have changed all the same.
    writeFile(f.install + "Documenti.mdb", "tables of the next document");
    writeFile(f.client + "Documenti.mdb", "letterhead corrected",
              QFileInfo(f.client + "Documenti.mdb").lastModified().addMSecs(10));
    QCOMPARE(live.run().copied, QStringList{"Documenti.mdb"});
    QCOMPARE(readFile(f.install + "Documenti.mdb"), QByteArray("letterhead corrected"));
}

void LiveUpdateTest::newProgramGoesThroughTheUpdater() {
    Folders f;
    LiveUpdate live = f.live();
    writeFile(f.client + "VelarixCL", "new program");
    writeFile(f.client + "Copie.txt", "new copies");
    QCOMPARE(live.run().action, LiveUpdate::Action::HandOver);
    QCOMPARE(readFile(f.install + "VelarixCL"), QByteArray("old VelarixCL"));

    // The updater did not take over: the data still comes, the program stays as it is.
    live.handOverRefused();
    const LiveUpdate::Result result = live.run();
    QCOMPARE(result.action, LiveUpdate::Action::Refreshed);
    QCOMPARE(result.copied, QStringList{"Copie.txt"});
    QCOMPARE(readFile(f.install + "VelarixCL"), QByteArray("old VelarixCL"));
    QCOMPARE(live.run().action, LiveUpdate::Action::None);

    // Another program published since is worth another try.
    writeFile(f.client + "VelarixCL", "newer program", QDateTime::currentDateTime().addSecs(60));
    QCOMPARE(live.run().action, LiveUpdate::Action::HandOver);
}

void LiveUpdateTest::problemsAreReportedOnce() {
    Folders f;
    LiveUpdate live = f.live();
    writeFile(f.client + "Bloccato.txt", "new");
    writeFile(f.install + "Bloccato.txt/dentro", "a folder stands in the way");
    LiveUpdate::Result result = live.run();
    QCOMPARE(result.action, LiveUpdate::Action::None);
    QVERIFY2(result.logLine.startsWith("Aggiornamento incompleto, file non aggiornati: "
                                       "Bloccato.txt ("),
             qPrintable(result.logLine));
    QVERIFY(live.run().logLine.isEmpty());

    QVERIFY(QDir(f.root.filePath(QStringLiteral("share"))).removeRecursively());
    result = live.run();
    QCOMPARE(result.action, LiveUpdate::Action::None);
    QVERIFY(result.logLine.contains(QStringLiteral("non raggiungibile")));
    QVERIFY(live.run().logLine.isEmpty());
}

QTEST_GUILESS_MAIN(LiveUpdateTest)
#include "tst_liveupdate.moc"
