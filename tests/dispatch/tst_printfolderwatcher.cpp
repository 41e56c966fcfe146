#include "companycodes.h"
#include "printfolderwatcher.h"
#include "recordinghost.h"
#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {
const QString Folder = QStringLiteral("\\\\SRV\\Velarix\\Stampe\\");
} // namespace

class TestPrintFolderWatcher : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void emptyFolder();
    void normalFileTraceAndAnnouncement();
    void caseOfNamesAndLowestSlot();
    void companyCodeDecides_data();
    void companyCodeDecides();
    void unreadCodesKeepUnknownEndings();
    void fileWithoutWorkstationLine();
    void blankAfterColonGivesEmptyName();
    void hiddenFilesAndFolders();
    void halfWrittenFileWaits();
    void growingFileWaits();
    void unreadableEntryDoesNotEndScan();
    void vanishedFileEndsScan();
    void renameClashKeepsNewFile();
    void setAsideNameTakenAlready();
    void passWithWantedWorkstation();
    void periodicPassAnnouncesOneFileEach();
    void vanishedFileEndsPass();
    void heldFileDeliveredAfterRegistration();
    void holdExpirySetsAside();
    void fairnessAcrossFailingFiles();
    void expiryAfterAcceptance();
    void expirySurvivesRestart();
    void noDoubleAnnouncement();
    void completedFileNeverAnnouncedAgain();
    void settingsFromEnvironment();
    void queueShowsEachFilesState();
    void setAsideFilePutBack();
    void waitingFilesDiscarded();
    void quietFolderStillServesWaitingFiles();
    void onlyItsWorkstationSaysWhyAFileFailed();

private:
    QString local(const QString& name) const { return m_localFolder + QLatin1Char('/') + name; }
    // A file written some seconds ago (rested) or just now.
    void write(const QString& name, const QByteArray& content, bool rested = true);
    QStringList files() const;
    // The activity log without the one note that new files are judged by the rest rule here.
    QStringList logs() const;
    QStringList tracesFrom(const QString& first) const;
    // "name state workstation reason" per queue entry, states by number.
    QStringList queueLines() const;
    void advance(qint64 ms) { m_now = m_now.addMSecs(ms), m_elapsed += ms; }
    std::unique_ptr<PrintFolderWatcher> makeWatcher();

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_localFolder;
    QDateTime m_now;
    qint64 m_elapsed = 0;
    RecordingHost m_host;
    CompanyCodes m_codes;
    std::unique_ptr<PrintFolderWatcher> m_watcher;
};

std::unique_ptr<PrintFolderWatcher> TestPrintFolderWatcher::makeWatcher() {
    auto watcher = std::make_unique<PrintFolderWatcher>(m_host, m_codes);
    watcher->setClock({[this] { return m_elapsed; }, [this] { return m_now; }});
    // The rest rule unless a test asks the system who writes.
    watcher->setWriterCheck([](const QString&) {
        return Failure{ErrorNumber::PermissionDenied, QStringLiteral("nessun lease nei test")};
    });
    watcher->setScanInterval(1000);
    watcher->setReofferInterval(60000);
    watcher->setHoldTime(10 * 60 * 1000);
    watcher->setExpiry(qint64(24) * 3600 * 1000);
    watcher->setPrintFolder(Folder, m_root->path());
    return watcher;
}

void TestPrintFolderWatcher::init() {
    TextCodec::select(QStringLiteral("windows-1252"));
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    QVERIFY(QDir(m_root->path()).mkdir(QStringLiteral("Stampe")));
    m_localFolder = m_root->filePath(QStringLiteral("Stampe"));
    m_now = QDateTime::currentDateTimeUtc();
    m_host = RecordingHost();
    m_codes = CompanyCodes();
    m_codes.set(0, 1);
    m_codes.set(1, 2);
    m_watcher = makeWatcher();
    QCOMPARE(QDir::cleanPath(m_watcher->localFolder()), m_localFolder);
}

void TestPrintFolderWatcher::cleanup() {
    m_watcher.reset();
    m_root.reset();
}

void TestPrintFolderWatcher::write(const QString& name, const QByteArray& content, bool rested) {
    QFile file(local(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append));
    file.write(content);
    QVERIFY(file.flush());
    QVERIFY(file.setFileTime((rested ? m_now.addSecs(-10) : m_now).toLocalTime(),
                             QFileDevice::FileModificationTime));
}

QStringList TestPrintFolderWatcher::logs() const {
    QStringList lines = m_host.logs;
    lines.removeIf(
        [](const QString& line) { return line.startsWith(QStringLiteral("Non si può")); });
    return lines;
}

QStringList TestPrintFolderWatcher::files() const {
    return QDir(m_localFolder)
        .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList TestPrintFolderWatcher::queueLines() const {
    QStringList lines;
    for (const QueueEntry& e : m_watcher->queue())
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(e.fileName)
                     .arg(int(e.state))
                     .arg(e.workstation, e.reason)
                     .trimmed();
    return lines;
}

QStringList TestPrintFolderWatcher::tracesFrom(const QString& first) const {
    const qsizetype at = m_host.traces.indexOf(first);
    return at < 0 ? QStringList() : m_host.traces.mid(at);
}

void TestPrintFolderWatcher::emptyFolder() {
    m_watcher->newFileScan();
    QCOMPARE(m_host.traces, QStringList({"Timer1", "1..", "1...", "1.10"}));
    QVERIFY(m_host.labels.isEmpty());

    m_host.clear();
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(m_host.traces, QStringList({"PRN-Timer2", "PRN-2.6"}));
    QCOMPARE(m_host.scanTimer, QList<bool>({false, true}));
    QVERIFY(m_host.sent.isEmpty());
}

void TestPrintFolderWatcher::normalFileTraceAndAnnouncement() {
    m_host.names[3] = QStringLiteral("ufficio1");
    write(QStringLiteral("X.001"), "@^01\r\nintestazione\r\nOperatore PC:UFFICIO1 resto\r\n");
    m_watcher->newFileScan();

    QCOMPARE(m_host.traces, QStringList({"Timer1", "1..", "1...", "1.X.001", "1.0", "1.1", "1.3",
                                         "1.4", "1.6", "1.7", "1.8", "1.10"}));
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    const QString path = Folder + QStringLiteral("X.001.PRN");
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_host.sent.at(0).first, 3);
    QCOMPARE(m_host.sent.at(0).second, QStringLiteral("DIR:") + path + QLatin1Char('\r'));
    QCOMPARE(m_host.messages, QStringList({"Inviato: " + path + " al pc:ufficio1"}));
    QCOMPARE(m_host.labels, QStringList({"Attesa...."}));

    // The next scan leaves the pending file alone.
    m_host.clear();
    m_watcher->newFileScan();
    QCOMPARE(m_host.traces, QStringList({"Timer1", "1..", "1...", "1.X.001.PRN", "1.10"}));
    QVERIFY(m_host.sent.isEmpty());
}

void TestPrintFolderWatcher::caseOfNamesAndLowestSlot() {
    m_host.names[5] = QStringLiteral(" magazzino ");
    m_host.names[2] = QStringLiteral("MAGAZZINO");
    m_host.names[9] = QStringLiteral("Magazzino");
    write(QStringLiteral("A.002"), "PC:Magazzino\r\n");
    m_watcher->newFileScan();
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_host.sent.at(0).first, 2);
    QCOMPARE(m_host.messages.at(0), "Inviato: " + Folder + "A.002.PRN al pc:MAGAZZINO");
}

void TestPrintFolderWatcher::companyCodeDecides_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("companies");
    QTest::addColumn<QStringList>("after");
    // An unknown code is set aside with a log line that names it, never deleted.
    QTest::newRow("known company") << "X.002" << 2 << QStringList({"X.002.PRN"});
    QTest::newRow("unknown company") << "X.007" << 2 << QStringList({"X.007.ERR"});
    QTest::newRow("letters, fewer than 21 companies") << "X.ABC" << 2 << QStringList({"X.ABC.PRN"});
    QTest::newRow("letters, 21 companies") << "X.ABC" << 21 << QStringList({"X.ABC.ERR"});
    QTest::newRow("the 22nd company") << "X.022" << 22 << QStringList({"X.022.PRN"});
    QTest::newRow("lower-case prn is new") << "X.prn" << 2 << QStringList({"X.prn.PRN"});
    QTest::newRow("name without dot") << "LETTERA" << 2 << QStringList({"LETTERA.PRN"});
}

void TestPrintFolderWatcher::companyCodeDecides() {
    QFETCH(QString, name);
    QFETCH(int, companies);
    QFETCH(QStringList, after);
    for (int slot = 0; slot < companies; ++slot)
        m_codes.set(slot, slot + 1);
    m_host.names[1] = QStringLiteral("PC1");
    write(name, "PC:PC1\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), after);
    const bool setAside = after.first().endsWith(QLatin1String(".ERR"));
    QCOMPARE(m_host.sent.size(), setAside ? 0 : 1);
    QCOMPARE(m_host.traces.contains(QStringLiteral("1.2")), setAside);
    const QString logged =
        QStringLiteral("codice ditta ") + name.right(3) + QStringLiteral(" sconosciuto");
    QCOMPARE(logs().filter(logged).size(), setAside ? 1 : 0);
}

void TestPrintFolderWatcher::unreadCodesKeepUnknownEndings() {
    // The company database could not be read: every slot is 0, yet a company's file is kept.
    m_codes = CompanyCodes();
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral("X.001"), "PC:PC1\r\n");
    write(QStringLiteral("Y.ABC"), "PC:PC1\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001", "Y.ABC.PRN"}));

    // Once the codes are known the same file is judged by them.
    m_codes.set(0, 1);
    m_host.clear();
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.PRN", "Y.ABC.PRN"}));
    m_codes.set(0, 2);
    write(QStringLiteral("Z.001"), "PC:PC1\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.PRN", "Y.ABC.PRN", "Z.001.ERR"}));
}

void TestPrintFolderWatcher::fileWithoutWorkstationLine() {
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral("X.001"), "@^01\r\nnessuna riga\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.ERR"}));
    QCOMPARE(tracesFrom(QStringLiteral("1.X.001")),
             QStringList({"1.X.001", "1.0", "1.1", "1.3", "1.4", "1.5", "1.10"}));
    QVERIFY(m_host.sent.isEmpty());
    m_host.clear();
    m_watcher->newFileScan();
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.ERR"}));
}

void TestPrintFolderWatcher::blankAfterColonGivesEmptyName() {
    // An empty name is no workstation: set aside like a file without a workstation line, also
    // when it was accepted before (a pending file from an earlier run).
    m_host.names[1] = QStringLiteral("UFFICIO1");
    write(QStringLiteral("X.001"), "PC: UFFICIO1\r\n");
    write(QStringLiteral("Y.001.PRN"), "PC:\r\n");
    m_watcher->newFileScan();
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QVERIFY(m_host.sent.isEmpty());
    QCOMPARE(files(), QStringList({"X.001.ERR", "Y.001.PRN.ERR"}));
    QVERIFY(m_host.traces.contains(QStringLiteral("1.5")));
    QCOMPARE(queueLines(), QStringList({"X.001.ERR 4  nome pc vuoto nella riga PC:",
                                        "Y.001.PRN.ERR 4  nome pc vuoto nella riga PC:"}));
}

void TestPrintFolderWatcher::hiddenFilesAndFolders() {
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral(".nascosto.001"), "PC:PC1\r\n");
    QVERIFY(QDir(m_localFolder).mkdir(QStringLiteral("CARTELLA")));
    m_watcher->newFileScan();
    QVERIFY(!m_host.traces.contains(QStringLiteral("1..nascosto.001")));
    // Folders are listed like files; a folder cannot be read and is left where it is.
    QVERIFY(m_host.traces.contains(QStringLiteral("1.CARTELLA")));
    QCOMPARE(m_host.traces.last(), QStringLiteral("1.10"));
    QCOMPARE(files(), QStringList({".nascosto.001", "CARTELLA"}));
}

void TestPrintFolderWatcher::halfWrittenFileWaits() {
    // Where the system cannot tell whether a writer still holds the file, it must rest.
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral("X.001"), "PC:PC1\r\n", false);
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001"}));
    QCOMPARE(tracesFrom(QStringLiteral("1.X.001")),
             QStringList({"1.X.001", "1.0", "1.1", "1.3", "1.10"}));
    QVERIFY(m_host.sent.isEmpty());
    QCOMPARE(m_watcher->msUntilNextReady(), 1000);

    advance(400);
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001"}));
    QCOMPARE(m_watcher->msUntilNextReady(), 600);

    advance(700);
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_watcher->msUntilNextReady(), -1);
    QCOMPARE(m_host.logs.size(), 1); // said once, not at every scan
    QVERIFY2(m_host.logs.first().startsWith(QStringLiteral("Non si può sapere")) &&
                 m_host.logs.first().contains(QStringLiteral("nessun lease nei test")),
             qPrintable(m_host.logs.first()));
}

void TestPrintFolderWatcher::growingFileWaits() {
    // The writer keeps its file's time stamp old but the size grows: it waits until a scan sees
    // it unchanged.
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral("X.001"), "@^01\r\n", false);
    m_watcher->newFileScan();
    advance(2000);
    write(QStringLiteral("X.001"), "riga\r\n", true);
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001"}));
    write(QStringLiteral("X.001"), "PC:PC1\r\n", true);
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001"}));
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    QCOMPARE(m_host.sent.size(), 1);
}

void TestPrintFolderWatcher::unreadableEntryDoesNotEndScan() {
    m_host.names[1] = QStringLiteral("PC1");
    QVERIFY(QDir(m_localFolder).mkdir(QStringLiteral("A.001")));
    write(QStringLiteral("B.001"), "PC:PC1\r\n");
    write(QStringLiteral("C.001"), "PC:PC1\r\n");
    bool locked = false;
    if (QFile::setPermissions(local(QStringLiteral("C.001")), QFileDevice::WriteOwner)) {
        QFile probe(local(QStringLiteral("C.001")));
        locked = !probe.open(QIODevice::ReadOnly); // root reads anything
    }
    write(QStringLiteral("D.001"), "PC:PC1\r\n");
    m_watcher->newFileScan();
    QCOMPARE(m_host.traces.last(), QStringLiteral("1.10"));
    QStringList expected({"A.001", "B.001.PRN", "D.001.PRN"});
    expected.insert(2, locked ? QStringLiteral("C.001") : QStringLiteral("C.001.PRN"));
    QCOMPARE(files(), expected);
    if (locked) {
        QFile::setPermissions(local(QStringLiteral("C.001")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        m_watcher->newFileScan();
        QVERIFY(files().contains(QStringLiteral("C.001.PRN")));
    }
}

void TestPrintFolderWatcher::vanishedFileEndsScan() {
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral("A.001"), "PC:PC1\r\n");
    write(QStringLiteral("B.001"), "PC:PC1\r\n");
    m_host.onTrace = [this](const QString& trace) {
        if (trace == QLatin1String("1.3") && m_host.traces.contains(QStringLiteral("1.A.001")))
            QFile::remove(local(QStringLiteral("A.001")));
    };
    m_watcher->newFileScan();
    QVERIFY(!m_host.traces.contains(QStringLiteral("1.10")));
    QVERIFY(!m_host.traces.contains(QStringLiteral("1.B.001")));
    QCOMPARE(files(), QStringList({"B.001"}));
    m_host.onTrace = nullptr;
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"B.001.PRN"}));
}

void TestPrintFolderWatcher::renameClashKeepsNewFile() {
    // The management program reused a name while the earlier job, for another workstation, waits.
    m_host.names[1] = QStringLiteral("PC1");
    m_host.names[2] = QStringLiteral("PC2");
    write(QStringLiteral("X.001.PRN"), "PC:PC1 vecchio\r\n");
    write(QStringLiteral("X.001"), "PC:PC2 nuovo\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001", "X.001.PRN"}));
    QVERIFY(m_host.sent.isEmpty()); // the waiting file never goes to the new file's workstation

    // The pass offers the waiting file to its own workstation.
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_host.sent.at(0).first, 1);
    QCOMPARE(m_host.sent.at(0).second, "DIR:" + Folder + "X.001.PRN\r");

    // Printed and deleted: the next scan takes the new file under the freed name.
    QVERIFY(QFile::remove(local(QStringLiteral("X.001.PRN"))));
    m_host.clear();
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    QFile renamed(local(QStringLiteral("X.001.PRN")));
    QVERIFY(renamed.open(QIODevice::ReadOnly));
    QCOMPARE(renamed.readAll(), QByteArray("PC:PC2 nuovo\r\n"));
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_host.sent.at(0).first, 2);
}

void TestPrintFolderWatcher::setAsideNameTakenAlready() {
    // Earlier jobs of the same name were set aside already; the later ones are kept beside them.
    write(QStringLiteral("X.001.ERR"), "nessuna riga\r\n");
    write(QStringLiteral("X.001"), "ancora nessuna riga\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.2.ERR", "X.001.ERR"}));

    write(QStringLiteral("Y.001.PRN.ERR"), "PC:VIA\r\n");
    write(QStringLiteral("Y.001.PRN"), "PC:VIA\r\n");
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    advance(11 * 60 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(),
             QStringList({"X.001.2.ERR", "X.001.ERR", "Y.001.PRN.2.ERR", "Y.001.PRN.ERR"}));
    QCOMPARE(logs().size(), 2);
    QVERIFY(logs().at(0).contains(Folder + QStringLiteral("X.001.2.ERR")));
    QVERIFY(logs().at(1).contains(Folder + QStringLiteral("Y.001.PRN.2.ERR")));
}

void TestPrintFolderWatcher::passWithWantedWorkstation() {
    m_host.names[1] = QStringLiteral("ALTRO");
    m_host.names[4] = QStringLiteral("voluto");
    write(QStringLiteral("A.001.PRN"), "PC:ALTRO\r\n");
    write(QStringLiteral("B.001.PRN"), "nessuna riga\r\n");
    write(QStringLiteral("C.001.PRN"), "PC:VOLUTO\r\n");
    write(QStringLiteral("D.001.PRN"), "PC:VOLUTO\r\n");
    m_watcher->dispatchPass(PassKind::FollowUp, QStringLiteral(" Voluto "));
    QCOMPARE(m_host.traces, QStringList({"PRN-Timer5", "PRN-5.A.001.PRN", "PRN-5.0", "PRN-5.1",
                                         "PRN-5.2", "PRN-5.B.001.PRN", "PRN-5.0", "PRN-5.1",
                                         "PRN-5.2", "PRN-5.3", "PRN-5.C.001.PRN", "PRN-5.0",
                                         "PRN-5.1", "PRN-5.2", "PRN-5.4", "PRN-5.5", "PRN-5.6"}));
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_host.sent.at(0), qMakePair(4, "DIR:" + Folder + "C.001.PRN\r"));
    // The other workstation's file is untouched; the one without workstation line is set aside.
    QCOMPARE(files(), QStringList({"A.001.PRN", "B.001.PRN.ERR", "C.001.PRN", "D.001.PRN"}));
    QCOMPARE(logs().size(), 1);
    QVERIFY(logs().at(0).contains(QStringLiteral("B.001.PRN.ERR")));
    QCOMPARE(m_host.scanTimer, QList<bool>({false, true}));
}

void TestPrintFolderWatcher::periodicPassAnnouncesOneFileEach() {
    m_host.names[2] = QStringLiteral("PC2");
    m_host.names[3] = QStringLiteral("PC3");
    write(QStringLiteral("A.001.PRN"), "PC:ASSENTE\r\n");
    write(QStringLiteral("B.001.PRN"), "PC:PC2\r\n");
    write(QStringLiteral("C.001.PRN"), "PC:PC2\r\n");
    write(QStringLiteral("D.001.PRN"), "PC:PC3\r\n");
    m_watcher->dispatchPass(PassKind::Periodic, QStringLiteral("   "));
    // One file for each connected workstation, whoever comes first in the folder; the file of
    // the absent workstation is kept (held).
    QCOMPARE(m_host.sent, (QList<QPair<int, QString>>{{2, "DIR:" + Folder + "B.001.PRN\r"},
                                                      {3, "DIR:" + Folder + "D.001.PRN\r"}}));
    QCOMPARE(files(), QStringList({"A.001.PRN", "B.001.PRN", "C.001.PRN", "D.001.PRN"}));
    QCOMPARE(m_host.traces.last(), QStringLiteral("PRN-2.6"));
}

void TestPrintFolderWatcher::vanishedFileEndsPass() {
    m_host.names[2] = QStringLiteral("PC2");
    write(QStringLiteral("A.001.PRN"), "PC:PC2\r\n");
    write(QStringLiteral("B.001.PRN"), "PC:PC2\r\n");
    m_host.onTrace = [this](const QString& trace) {
        if (trace == QLatin1String("PRN-2.0"))
            QFile::remove(local(QStringLiteral("A.001.PRN")));
    };
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QVERIFY(m_host.sent.isEmpty());
    QVERIFY(!m_host.traces.contains(QStringLiteral("PRN-2.B.001.PRN")));
    QCOMPARE(m_host.scanTimer, QList<bool>({false, true}));
}

void TestPrintFolderWatcher::heldFileDeliveredAfterRegistration() {
    write(QStringLiteral("X.001"), "PC:PORTATILE\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    QVERIFY(m_host.traces.contains(QStringLiteral("1.9")));
    QVERIFY(m_host.sent.isEmpty());

    advance(5 * 60 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    QVERIFY(logs().isEmpty());

    m_host.names[7] = QStringLiteral("portatile");
    QVERIFY(m_watcher->workstationRegistered(QStringLiteral("portatile")));
    QVERIFY(!m_watcher->workstationRegistered(QStringLiteral("nessuno")));
    m_watcher->dispatchPass(PassKind::FollowUp, QStringLiteral("portatile"));
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_host.sent.at(0), qMakePair(7, "DIR:" + Folder + "X.001.PRN\r"));

    // Delivered but not completed, and the workstation leaves again: the hold counts from the
    // moment a pass finds it away, not from acceptance.
    m_host.names[7].clear();
    advance(6 * 60 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    advance(9 * 60 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    advance(2 * 60 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.PRN.ERR"}));
    QCOMPARE(logs().size(), 1);
}

void TestPrintFolderWatcher::holdExpirySetsAside() {
    m_host.names[1] = QStringLiteral("ALTRO");
    write(QStringLiteral("X.001"), "PC:PORTATILE\r\n");
    write(QStringLiteral("Y.001"), "PC:ALTRO\r\n");
    m_watcher->newFileScan();
    QCOMPARE(m_host.sent.size(), 1); // Y for ALTRO

    advance(9 * 60 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QVERIFY(files().contains(QStringLiteral("X.001.PRN")));

    // Past the hold time: set aside even though the pass stops at Y, which it offers again.
    advance(61 * 1000);
    m_host.clear();
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.PRN.ERR", "Y.001.PRN"}));
    QCOMPARE(logs().size(), 1);
    QVERIFY(logs().at(0).contains(Folder + QStringLiteral("X.001.PRN.ERR")));
    QVERIFY(logs().at(0).contains(QStringLiteral("PORTATILE")));
}

void TestPrintFolderWatcher::fairnessAcrossFailingFiles() {
    // Three files whose printing keeps failing (no completion ever comes): each periodic pass
    // offers the next one, so all get their turn.
    m_host.names[3] = QStringLiteral("PC3");
    write(QStringLiteral("A.001.PRN"), "PC:PC3\r\n");
    write(QStringLiteral("B.001.PRN"), "PC:ASSENTE\r\n");
    write(QStringLiteral("C.001.PRN"), "PC:PC3\r\n");
    write(QStringLiteral("D.001.PRN"), "PC:PC3\r\n");
    QStringList offered;
    for (int pass = 0; pass < 6; ++pass) {
        m_host.sent.clear();
        m_watcher->dispatchPass(PassKind::Periodic, QString());
        QCOMPARE(m_host.sent.size(), 1);
        offered.append(m_host.sent.at(0).second.mid(Folder.size() + 4).chopped(1));
        advance(60 * 1000);
    }
    QCOMPARE(offered, QStringList({"A.001.PRN", "C.001.PRN", "D.001.PRN", "A.001.PRN", "C.001.PRN",
                                   "D.001.PRN"}));
}

void TestPrintFolderWatcher::expiryAfterAcceptance() {
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral("X.001"), "PC:PC1\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"X.001.PRN"}));

    advance(qint64(23) * 3600 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    QCOMPARE(m_host.sent.size(), 2);

    advance(qint64(3600) * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.PRN.ERR"}));
    QCOMPARE(m_host.sent.size(), 2);
    QCOMPARE(logs().size(), 1);
    QVERIFY(logs().at(0).contains(QStringLiteral("X.001.PRN.ERR")));
    QVERIFY(logs().at(0).contains(QStringLiteral("PC1")));
    QVERIFY(logs().at(0).contains(QStringLiteral("24 ore")));
}

void TestPrintFolderWatcher::expirySurvivesRestart() {
    // Accepted by one run of the server, expired in the next: the time of acceptance is the
    // pending file's own time stamp. The file is not reached by the pass (an earlier file is
    // offered), the sweep still finds it.
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral("Z.001"), "PC:LONTANO\r\n");
    m_watcher->newFileScan();
    QCOMPARE(files(), QStringList({"Z.001.PRN"}));
    write(QStringLiteral("A.001.PRN"), "PC:PC1\r\n");
    {
        QFile stamp(local(QStringLiteral("A.001.PRN")));
        QVERIFY(stamp.open(QIODevice::ReadWrite));
        QVERIFY(stamp.setFileTime(m_now.toLocalTime(), QFileDevice::FileModificationTime));
    }

    advance(qint64(24) * 3600 * 1000 - 1000);
    m_watcher = makeWatcher();
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"A.001.PRN", "Z.001.PRN"}));

    advance(2000);
    m_watcher = makeWatcher();
    m_host.clear();
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"A.001.PRN.ERR", "Z.001.PRN.ERR"}));
    QCOMPARE(logs().size(), 2);
    QVERIFY(logs().join(QLatin1Char('\n')).contains(QStringLiteral("LONTANO")));
}

void TestPrintFolderWatcher::noDoubleAnnouncement() {
    m_host.names[2] = QStringLiteral("PC2");
    write(QStringLiteral("A.001"), "PC:PC2\r\n");
    write(QStringLiteral("B.001"), "PC:PC2\r\n");
    // One at a time: B waits for A's completion.
    m_watcher->newFileScan();
    QCOMPARE(m_host.sent.size(), 1);

    // A follow-up pass and a periodic pass right after: A is still with the client.
    advance(1000);
    m_watcher->dispatchPass(PassKind::FollowUp, QStringLiteral("PC2"));
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(m_host.sent.size(), 1);

    // The same name registered again while its connection lives (a second client, or "PC:"
    // once more): that connection still holds A, nothing is sent again.
    m_host.names[3] = QStringLiteral("pc2");
    QVERIFY(m_watcher->workstationRegistered(QStringLiteral("pc2")));
    m_watcher->dispatchPass(PassKind::FollowUp, QStringLiteral("pc2"));
    QVERIFY(m_watcher->workstationRegistered(QStringLiteral("PC2")));
    m_watcher->dispatchPass(PassKind::FollowUp, QStringLiteral("PC2"));
    QCOMPARE(m_host.sent.size(), 1);

    // Once that connection is gone, what it held goes to the one that lives.
    m_host.names[2].clear();
    QVERIFY(m_watcher->workstationRegistered(QStringLiteral("pc2")));
    m_watcher->dispatchPass(PassKind::FollowUp, QStringLiteral("pc2"));
    QCOMPARE(m_host.sent.size(), 2);
    QCOMPARE(m_host.sent.last(), qMakePair(3, "DIR:" + Folder + "A.001.PRN\r"));

    // Without completion, the periodic pass offers again after the re-offer interval.
    advance(60 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(m_host.sent.size(), 3);
}

void TestPrintFolderWatcher::completedFileNeverAnnouncedAgain() {
    m_host.names[2] = QStringLiteral("PC2");
    write(QStringLiteral("A.001"), "PC:PC2\r\n");
    write(QStringLiteral("B.001"), "PC:PC2\r\n");
    m_watcher->newFileScan();
    QCOMPARE(m_host.sent.size(), 1);

    // "DEL:" for A arrived but its delete failed (the file is still there).
    m_watcher->completed(Folder + QStringLiteral("A.001.PRN"));
    advance(120 * 1000);
    QVERIFY(m_watcher->workstationRegistered(QStringLiteral("PC2")));
    m_host.sent.clear();
    m_watcher->dispatchPass(PassKind::FollowUp, QStringLiteral("PC2"));
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_host.sent.at(0).second, "DIR:" + Folder + "B.001.PRN\r");
    // The pass cleared the printed file away.
    QCOMPARE(files(), QStringList({"B.001.PRN"}));

    // A new A.001 is a new job, offered once B is printed.
    m_watcher->completed(Folder + QStringLiteral("B.001.PRN"));
    write(QStringLiteral("A.001"), "PC:PC2\r\n");
    m_watcher->newFileScan();
    QCOMPARE(m_host.sent.size(), 2);
    QCOMPARE(m_host.sent.at(1).second, "DIR:" + Folder + "A.001.PRN\r");
}

void TestPrintFolderWatcher::settingsFromEnvironment() {
    qputenv("VELARIX_HOLD_MINUTES", "0.5");
    qputenv("VELARIX_EXPIRY_HOURS", "2");
    WatcherSettings s = WatcherSettings::fromEnvironment();
    QCOMPARE(s.holdMs, qint64(30000));
    QCOMPARE(s.expiryMs, qint64(2) * 3600 * 1000);
    qputenv("VELARIX_HOLD_MINUTES", "dieci");
    qputenv("VELARIX_EXPIRY_HOURS", "-1");
    s = WatcherSettings::fromEnvironment();
    QCOMPARE(s.holdMs, qint64(10) * 60 * 1000);
    QCOMPARE(s.expiryMs, qint64(24) * 3600 * 1000);
    qunsetenv("VELARIX_HOLD_MINUTES");
    qunsetenv("VELARIX_EXPIRY_HOURS");
}

void TestPrintFolderWatcher::queueShowsEachFilesState() {
    m_host.names[1] = QStringLiteral("PC1");
    write(QStringLiteral("A.001"), "PC:PC1\r\n");
    write(QStringLiteral("B.001"), "PC:VIA\r\n");
    write(QStringLiteral("C.001"), "nessuna riga\r\n");
    write(QStringLiteral("D.001"), "PC:PC1\r\n", false);
    write(QStringLiteral("OLD.001.PRN.ERR"), "PC:PC1\r\n"); // from an earlier run
    m_watcher->newFileScan();
    QCOMPARE(queueLines(),
             QStringList({"A.001.PRN 2 PC1", "B.001.PRN 3 VIA pc:VIA non collegato",
                          "C.001.ERR 4  manca la riga PC:", "D.001 0", "OLD.001.PRN.ERR 4"}));
    // Nothing changed, nothing to look at again.
    advance(100);
    const quint64 revision = m_watcher->queueRevision();
    m_watcher->newFileScan();
    QCOMPARE(m_watcher->queueRevision(), revision);

    // Printed; the held file is set aside after its hold time; a file that vanished goes.
    m_watcher->completed(Folder + QStringLiteral("A.001.PRN"));
    QVERIFY(QFile::remove(local(QStringLiteral("A.001.PRN"))));
    QVERIFY(QFile::remove(local(QStringLiteral("D.001"))));
    advance(11 * 60 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    m_watcher->newFileScan();
    QVERIFY(m_watcher->queueRevision() != revision);
    QCOMPARE(queueLines(), QStringList({"B.001.PRN.ERR 4 VIA pc:VIA non collegato da 10 minuti",
                                        "C.001.ERR 4  manca la riga PC:", "OLD.001.PRN.ERR 4"}));

    // After a restart the folder alone tells the states.
    m_watcher = makeWatcher();
    m_watcher->newFileScan();
    QCOMPARE(queueLines(), QStringList({"B.001.PRN.ERR 4", "C.001.ERR 4", "OLD.001.PRN.ERR 4"}));
}

// A workstation speaks only for its own files: another one, or a path outside the folder, changes
// nothing; its own reason shows in the queue and goes with the file when it is set aside.
void TestPrintFolderWatcher::onlyItsWorkstationSaysWhyAFileFailed() {
    m_host.names[1] = QStringLiteral("PC1");
    m_host.names[2] = QStringLiteral("ALTRO");
    write(QStringLiteral("A.001"), "PC:PC1\r\n");
    m_watcher->newFileScan();
    const QString path = Folder + QStringLiteral("A.001.PRN");
    const quint64 revision = m_watcher->queueRevision();
    QCOMPARE(m_watcher->failureReported(path, QStringLiteral("ALTRO"), QStringLiteral("x")),
             QString());
    QCOMPARE(m_watcher->failureReported(QStringLiteral("C:\\A.001.PRN"), QStringLiteral("pc1"),
                                        QStringLiteral("x")),
             QString());
    QCOMPARE(m_watcher->queueRevision(), revision);
    QCOMPARE(m_watcher->failureReported(path, QStringLiteral("pc1"), QStringLiteral("Disco pieno")),
             QStringLiteral("A.001.PRN"));
    QVERIFY(m_watcher->queue().constFirst().workstationFailed);
    QCOMPARE(queueLines(), QStringList({"A.001.PRN 2 PC1 Disco pieno"}));
    advance(qint64(25) * 3600 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(queueLines().constFirst().section(QLatin1Char(':'), -1),
             QStringLiteral(" Disco pieno"));
}

void TestPrintFolderWatcher::setAsideFilePutBack() {
    write(QStringLiteral("X.001"), "PC:PORTATILE\r\n");
    m_watcher->newFileScan();
    advance(qint64(25) * 3600 * 1000);
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(files(), QStringList({"X.001.PRN.ERR"}));
    write(QStringLiteral("X.001.PRN"), "PC:ALTRO\r\n"); // the name was reused meanwhile

    QCOMPARE(m_watcher->putBack(QStringLiteral("X.001.PRN.ERR")).number,
             int(ErrorNumber::PathFileAccess));
    QVERIFY(QFile::remove(local(QStringLiteral("X.001.PRN"))));
    for (const char* bad : {"X.001.PRN", "../X.001.PRN.ERR", "NESSUNO.ERR"})
        QCOMPARE(m_watcher->putBack(QString::fromLatin1(bad)).number,
                 int(ErrorNumber::FileNotFound));
    QCOMPARE(files(), QStringList({"X.001.PRN.ERR"}));

    // Back as a freshly accepted file: not expired at once, offered when its workstation comes.
    m_host.logs.clear();
    QVERIFY(m_watcher->putBack(QStringLiteral("X.001.PRN.ERR")).ok());
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
    QCOMPARE(logs(), QStringList({"Stampa rimessa in coda: " + Folder + "X.001.PRN"}));
    m_host.names[2] = QStringLiteral("PORTATILE");
    m_watcher->dispatchPass(PassKind::Periodic, QString());
    QCOMPARE(m_host.sent.size(), 1);
    QCOMPARE(m_host.sent.at(0), qMakePair(2, "DIR:" + Folder + "X.001.PRN\r"));
    QCOMPARE(queueLines(), QStringList({"X.001.PRN 2 PORTATILE"}));

    // Announced: its workstation may be reading it, so it stays.
    QCOMPARE(m_watcher->discard(QStringLiteral("X.001.PRN")).number,
             int(ErrorNumber::PathFileAccess));
    QCOMPARE(files(), QStringList({"X.001.PRN"}));
}

// Deleting from the queue: only what waits, logged, gone from folder and queue alike.
void TestPrintFolderWatcher::waitingFilesDiscarded() {
    write(QStringLiteral("H.001"), "PC:VIA\r\n");
    write(QStringLiteral("N.001"), "PC:VIA\r\n", false);
    m_watcher->newFileScan();
    QCOMPARE(m_watcher->discard(QStringLiteral("N.001")).number, int(ErrorNumber::PathFileAccess));
    QCOMPARE(m_watcher->discard(QStringLiteral("../H.001.PRN")).number,
             int(ErrorNumber::FileNotFound));
    m_host.logs.clear();
    QVERIFY(m_watcher->discard(QStringLiteral("H.001.PRN")).ok());
    QCOMPARE(files(), QStringList({"N.001"}));
    QCOMPARE(queueLines(), QStringList({"N.001 0"}));
    QCOMPARE(m_host.logs, QStringList({"Stampa eliminata dalla coda: " + Folder + "H.001.PRN"}));
}

void TestPrintFolderWatcher::quietFolderStillServesWaitingFiles() {
    // A folder whose time stamp has long stood still is not listed again each tick, yet the new
    // file waiting in it is taken once rested and nothing known is forgotten.
    m_host.names[1] = QStringLiteral("UFF");
    write(QStringLiteral("OLD.001.ERR"), "x");
    write(QStringLiteral("LATE.001"), "PC:UFF\r\n", false);
    m_watcher->newFileScan();
    const timespec stamp[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(m_localFolder).constData(), stamp, 0), 0);
    m_watcher->newFileScan(); // lists the folder with its old stamp
    advance(2000);
    m_host.clear();
    m_watcher->newFileScan();
    QVERIFY(!m_host.traces.contains(QStringLiteral("1.OLD.001.ERR")));
    QCOMPARE(m_host.sent.size(), 1);
    QVERIFY(m_host.sent.at(0).second.contains(QStringLiteral("LATE.001.PRN")));
    QCOMPARE(queueLines().size(), 2);
}

QTEST_GUILESS_MAIN(TestPrintFolderWatcher)
#include "tst_printfolderwatcher.moc"
