// The comparison of the share's Client folder with the program folder, what start-up does with
// its outcome, and IPHost.set, which names the share.
#include "serverhostfile.h"
#include "updatecheck.h"
#include "updatedecision.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Share = QStringLiteral("\\\\srv\\Velarix\\");

// A file with the given content and modification time; parent folders are created.
void makeFile(const QString& path, const QDateTime& modified, const QByteArray& content = "x") {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(content);
    QVERIFY(file.flush()); // a later write would move the time again
    QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

QDateTime at(const QString& text) {
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

using Entries = QList<QPair<QString, QString>>; // relative name, modification time ("" = folder)
} // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT
private slots:
    void compare_data();
    void compare();
    void collectAllListsEveryName();
    void unreachableShare_data();
    void unreachableShare();
    void unreadableShareEntryIsAFailure();
    void timeStampIgnoresSeconds();
    void decision_data();
    void decision();
    void serverHostFile_data();
    void serverHostFile();
};

void UpdateCheckTest::compare_data() {
    QTest::addColumn<Entries>("share");
    QTest::addColumn<Entries>("local");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("outOfDate");

    const int upToDate = int(UpdateCheck::Status::UpToDate);
    const int due = int(UpdateCheck::Status::UpdateDue);
    const QString t0 = QStringLiteral("2026-03-02 10:15:05");

    QTest::newRow("empty Client folder") << Entries{} << Entries{} << upToDate << QStringList{};
    QTest::newRow("missing local file")
        << Entries{{"Copie.txt", t0}} << Entries{} << due << QStringList{"Copie.txt"};
    QTest::newRow("changed within the same minute")
        << Entries{{"Copie.txt", "2026-03-02 10:15:58"}} << Entries{{"Copie.txt", t0}} << upToDate
        << QStringList{};
    QTest::newRow("share newer by a minute")
        << Entries{{"Copie.txt", "2026-03-02 10:16:00"}} << Entries{{"Copie.txt", t0}} << due
        << QStringList{"Copie.txt"};
    QTest::newRow("share newer by a year, older minute")
        << Entries{{"Copie.txt", "2027-01-01 00:00:00"}}
        << Entries{{"Copie.txt", "2026-12-31 23:59:00"}} << due << QStringList{"Copie.txt"};
    QTest::newRow("newer local copy")
        << Entries{{"Documenti.mdb", t0}} << Entries{{"Documenti.mdb", "2026-03-05 08:00:00"}}
        << upToDate << QStringList{};
    QTest::newRow("local files the share lacks")
        << Entries{{"Copie.txt", t0}} << Entries{{"Copie.txt", t0}, {"VXCreg.txt", t0}} << upToDate
        << QStringList{};
    QTest::newRow("stops at the first due entry in name order")
        << Entries{{"a.rpt", t0}, {"b.rpt", "2026-03-02 11:00:00"}, {"c.rpt", t0}}
        << Entries{{"b.rpt", t0}} << due << QStringList{"a.rpt"};
    QTest::newRow("subfolder without a local entry")
        << Entries{{"Modelli/ODL.rpt", t0}} << Entries{} << due << QStringList{"Modelli/ODL.rpt"};
    QTest::newRow("subfolder copied: the folder itself never counts")
        << Entries{{"Modelli/ODL.rpt", t0}, {"Modelli/FOM.rpt", t0}}
        << Entries{{"Modelli/ODL.rpt", t0}, {"Modelli/FOM.rpt", t0}} << upToDate << QStringList{};
    QTest::newRow("empty subfolder")
        << Entries{{"Vuota", ""}} << Entries{} << upToDate << QStringList{};
    QTest::newRow("newer file deep in a subfolder")
        << Entries{{"A/B/x.txt", "2026-03-02 12:00:00"}} << Entries{{"A/B/x.txt", t0}} << due
        << QStringList{"A/B/x.txt"};
    QTest::newRow("the workstation's printers are its own, in any case")
        << Entries{{"Stampanti.txt", "2026-03-09 10:00:00"}, {"STAMPANTI.TXT", t0}}
        << Entries{{"Stampanti.txt", t0}} << upToDate << QStringList{};
    QTest::newRow("a folder where the share has a file")
        << Entries{{"Copie.txt", t0}} << Entries{{"Copie.txt/inner", t0}} << due
        << QStringList{"Copie.txt"};
}

void UpdateCheckTest::compare() {
    QFETCH(Entries, share);
    QFETCH(Entries, local);
    QFETCH(int, status);
    QFETCH(QStringList, outOfDate);

    QTemporaryDir root;
    const QString shareRoot = root.filePath(QStringLiteral("share"));
    const QString install = root.filePath(QStringLiteral("Velarix CL")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(shareRoot + QStringLiteral("/Client")));
    QVERIFY(QDir().mkpath(install));
    for (const auto& [name, time] : share) {
        if (time.isEmpty())
            QVERIFY(QDir().mkpath(shareRoot + QStringLiteral("/Client/") + name));
        else
            makeFile(shareRoot + QStringLiteral("/Client/") + name, at(time));
    }
    for (const auto& [name, time] : local)
        makeFile(install + name, at(time));

    const UpdateCheck::Outcome outcome = UpdateCheck(Share, shareRoot, install).run();
    QCOMPARE(int(outcome.status), status);
    QCOMPARE(outcome.outOfDate, outOfDate);
    QVERIFY(outcome.failure.ok());
}

void UpdateCheckTest::collectAllListsEveryName() {
    QTemporaryDir root;
    const QString shareRoot = root.path();
    const QString install = root.filePath(QStringLiteral("cl")) + QLatin1Char('/');
    const QDateTime t0 = at(QStringLiteral("2026-03-02 10:15:05"));
    makeFile(shareRoot + QStringLiteral("/Client/Aggiorna.txt"), t0.addSecs(3600));
    makeFile(shareRoot + QStringLiteral("/Client/Copie.txt"), t0);
    makeFile(shareRoot + QStringLiteral("/Client/Modelli/ODL.rpt"), t0);
    makeFile(install + QStringLiteral("Aggiorna.txt"), t0);
    makeFile(install + QStringLiteral("Copie.txt"), t0);

    const UpdateCheck check(Share, shareRoot, install);
    QCOMPARE(check.run(true).outOfDate, (QStringList{"Aggiorna.txt", "Modelli/ODL.rpt"}));
    QCOMPARE(check.run(false).outOfDate, QStringList{"Aggiorna.txt"});
    QCOMPARE(check.run(true).status, UpdateCheck::Status::UpdateDue);
}

void UpdateCheckTest::unreachableShare_data() {
    QTest::addColumn<QString>("sharePath");
    QTest::addColumn<bool>("withShareRoot");
    QTest::addColumn<bool>("withClientFolder");

    QTest::addColumn<QString>("message"); // %1: the share root
    const QString failed = QStringLiteral("Errore di Connessione al Server! ");
    const QString checkSrv =
        failed + QStringLiteral("Controllare collegamento all'indirizzo: srv\n");
    QTest::newRow("no server name") << QStringLiteral("\\\\\\Velarix\\") << true << true
                                    << failed + "Nessun indirizzo del server impostato.";
    QTest::newRow("no share root")
        << Share << false << true << checkSrv + "Cartella di collegamento al server non impostata.";
    QTest::newRow("share without a Client folder")
        << Share << true << false
        << checkSrv + "La cartella %1/Client non esiste (condivisione del server non collegata?).";
}

void UpdateCheckTest::unreachableShare() {
    QFETCH(QString, sharePath);
    QFETCH(bool, withShareRoot);
    QFETCH(bool, withClientFolder);
    QTemporaryDir root;
    if (withClientFolder)
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("Client"))));
    const UpdateCheck::Outcome outcome =
        UpdateCheck(sharePath, withShareRoot ? root.path() : QString(), root.path() + "/cl/").run();
    QCOMPARE(outcome.status, UpdateCheck::Status::ShareUnreachable);
    QVERIFY(outcome.outOfDate.isEmpty());
    // The person is told the local folder and why, never a UNC path.
    QFETCH(QString, message);
    QCOMPARE(decideAfterUpdateCheck(outcome, sharePath, false).message, message.arg(root.path()));
}

void UpdateCheckTest::unreadableShareEntryIsAFailure() {
    // A link on the share that leads nowhere: its time stamp cannot be read.
    QTemporaryDir root;
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("Client"))));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("missing")),
                        root.filePath(QStringLiteral("Client/Copie.txt"))));
    const UpdateCheck::Outcome outcome =
        UpdateCheck(Share, root.path(), root.path() + "/cl/").run();
    QCOMPARE(outcome.status, UpdateCheck::Status::Failed);
    QCOMPARE(outcome.failure.number, 53);
    QVERIFY(!outcome.failure.description.isEmpty());
}

void UpdateCheckTest::timeStampIgnoresSeconds() {
    QCOMPARE(UpdateCheck::timeStamp(at(QStringLiteral("2026-03-02 09:05:59"))),
             Q_INT64_C(202603020905));
}

void UpdateCheckTest::decision_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("afterUpdate");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("message");

    using S = UpdateCheck::Status;
    using A = UpdateDecision::Action;
    const QString unreachable = QStringLiteral(
        "Errore di Connessione al Server! Controllare collegamento all'indirizzo: srv");
    QTest::newRow("up to date") << int(S::UpToDate) << false << int(A::GoOn) << ""
                                << "";
    QTest::newRow("update due") << int(S::UpdateDue) << false << int(A::HandOver)
                                << "Aggiornamento rilevato"
                                << "";
    QTest::newRow("still due after an update round")
        << int(S::UpdateDue) << true << int(A::GoOn)
        << "Aggiornamento incompleto, file non aggiornati: Copie.txt, Modelli/ODL.rpt"
        << "Aggiornamento non completato. File non aggiornati: Copie.txt, Modelli/ODL.rpt";
    QTest::newRow("complete after an update round")
        << int(S::UpToDate) << true << int(A::GoOn) << "Aggiornamento completato"
        << "";
    QTest::newRow("share unreachable")
        << int(S::ShareUnreachable) << false << int(A::EndProgram) << "" << unreachable;
    QTest::newRow("share unreachable after an update round")
        << int(S::ShareUnreachable) << true << int(A::EndProgram) << "" << unreachable;
    QTest::newRow("other failure after an update round")
        << int(S::Failed) << true << int(A::EndProgram) << ""
        << "53 - File non trovato: x";
}

void UpdateCheckTest::decision() {
    QFETCH(int, status);
    QFETCH(bool, afterUpdate);
    QFETCH(int, action);
    QFETCH(QString, logLine);
    QFETCH(QString, message);

    UpdateCheck::Outcome outcome;
    outcome.status = UpdateCheck::Status(status);
    if (outcome.status == UpdateCheck::Status::UpdateDue)
        outcome.outOfDate = {QStringLiteral("Copie.txt"), QStringLiteral("Modelli/ODL.rpt")};
    if (outcome.status == UpdateCheck::Status::Failed)
        outcome.failure = {53, QStringLiteral("File non trovato: x")};
    const UpdateDecision decision = decideAfterUpdateCheck(outcome, Share, afterUpdate);
    QCOMPARE(int(decision.action), action);
    QCOMPARE(decision.logLine, logLine);
    QCOMPARE(decision.message, message);
}

void UpdateCheckTest::serverHostFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("host");
    QTest::newRow("name") << QByteArray("server1\r\n") << "server1";
    QTest::newRow("blank") << QByteArray("   \r\n") << QString();
    QTest::newRow("empty") << QByteArray("") << QString();
    QTest::newRow("remark after a comma") << QByteArray("10.0.0.2, ufficio\r\n") << "10.0.0.2";
    QTest::newRow("blanks after a name typed by hand") << QByteArray("server1   \r\n") << "server1";
}

void UpdateCheckTest::serverHostFile() {
    QFETCH(QByteArray, content);
    QFETCH(QString, host);
    QTemporaryDir root;
    const QString folder = root.path() + QLatin1Char('/');
    makeFile(folder + QStringLiteral("IPHost.set"), QDateTime::currentDateTime(), content);
    QCOMPARE(ServerHostFile::read(folder), host);
    QCOMPARE(ServerHostFile::read(folder + QStringLiteral("missing/")), QString());
    // What the search writes reads back as the same host.
    QVERIFY(ServerHostFile::write(folder, host).ok());
    QCOMPARE(ServerHostFile::read(folder), host);
    QCOMPARE(ServerHostFile::sharePath(host), QStringLiteral("\\\\") + host + "\\Velarix\\");
}

QTEST_GUILESS_MAIN(UpdateCheckTest)
#include "tst_updatecheck.moc"
