// The updater's work: arguments, installation probe, IPHost.set, and the copy of the Client folder
// (with the program kept as it was before the copy).
#include "clientfoldercopy.h"
#include "clientupdater.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {
QByteArray readFileOrMissing(const QString& path) {
    return readFile(path, "<missing>");
}

const QString Share = QStringLiteral("\\\\srv\\Velarix\\");

// Share root with a Client folder, and an installation folder whose name holds a blank.
struct Folders {
    QTemporaryDir root;
    QString client() const { return root.filePath(QStringLiteral("share/Client")) + '/'; }
    QString shareRoot() const { return root.filePath(QStringLiteral("share")); }
    QString install() const { return root.filePath(QStringLiteral("Velarix CL")) + '/'; }
    Folders() {
        QDir().mkpath(client());
        QDir().mkpath(install());
    }
};

struct Run {
    QStringList status;
    QStringList failed;
    int counter = -1;
};

Run copy(const Folders& folders, int attempts = 1) {
    Run run;
    ClientUpdater updater(Share, folders.shareRoot(), folders.install());
    updater.setRetry(attempts, 0);
    run.counter = updater.copyAll([&](const QString& text) { run.status.append(text); },
                                  [&](const QString& source) { run.failed.append(source); });
    return run;
}

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.vxupd-*")}, QDir::Files | QDir::Hidden);
}
} // namespace

class ClientUpdaterTest : public QObject {
    Q_OBJECT
private slots:
    void installFolderFromArguments_data();
    void installFolderFromArguments();
    void probe();
    void locate_data();
    void locate();
    void threeFiles();
    void subfolderIsCopied();
    void readOnlyTargetIsReplacedAndMadeWritable();
    void executableStaysExecutable_data();
    void executableStaysExecutable();
    void unwritableTargetIsReportedAndTheRestCopied();
    void replaceIsAtomic();
    void shareThatCannotBeListed();
};

void ClientUpdaterTest::installFolderFromArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("folder");
    QTest::newRow("none") << QStringList{} << QString();
    QTest::newRow("blanks only") << QStringList{"  "} << QString();
    QTest::newRow("one word") << QStringList{"/opt/velarix/"} << "/opt/velarix/";
    QTest::newRow("blanks split by the shell")
        << QStringList{"/home/a/Program", "Files/Velarix/"} << "/home/a/Program Files/Velarix/";
    QTest::newRow("surrounding blanks") << QStringList{"  /opt/v/  "} << "/opt/v/";
    QTest::newRow("separator added") << QStringList{"/opt/v"} << "/opt/v/";
}

void ClientUpdaterTest::installFolderFromArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, folder);
    QCOMPARE(ClientUpdater::installFolderFromArguments(arguments), folder);
}

void ClientUpdaterTest::probe() {
    QTemporaryDir root;
    const QString first = root.filePath(QStringLiteral("a")) + '/';
    const QString second = root.filePath(QStringLiteral("b")) + '/';
    QVERIFY(QDir().mkpath(first));
    QCOMPARE(ClientUpdater::probeInstallFolder({first, second}), QString());
    writeFile(second + QStringLiteral("IPHost.set"), "srv\r\n");
    QCOMPARE(ClientUpdater::probeInstallFolder({first, second}), second);
    writeFile(first + QStringLiteral("IPHost.set"), "");
    QCOMPARE(ClientUpdater::probeInstallFolder({first, second}), first);
}

void ClientUpdaterTest::locate_data() {
    QTest::addColumn<bool>("argument");
    QTest::addColumn<QByteArray>("hostFile"); // in the folder named by the argument
    QTest::addColumn<QByteArray>("standardHostFile");
    QTest::addColumn<QString>("found"); // "argument", "standard" or empty
    QTest::addColumn<QString>("sharePath");
    QTest::addColumn<QString>("message"); // FOLDER stands for the folder found
    QTest::newRow("argument, standard folder not probed")
        << true << QByteArray("srv1\r\n") << QByteArray("srv2\r\n") << "argument"
        << "\\\\srv1\\Velarix\\"
        << "";
    QTest::newRow("no argument: the standard folder")
        << false << QByteArray() << QByteArray("srv2\r\n") << "standard"
        << "\\\\srv2\\Velarix\\"
        << "";
    QTest::newRow("no argument, nothing installed") << false << QByteArray() << QByteArray() << ""
                                                    << ""
                                                    << "Procedura Velarix non Installata";
    QTest::newRow("no server in IPHost.set")
        << true << QByteArray("  , remark\r\n") << QByteArray("srv2\r\n") << "argument"
        << ""
        << "FOLDERIPHost.set non trovato o non configurato nel client!";
}

void ClientUpdaterTest::locate() {
    QFETCH(bool, argument);
    QFETCH(QByteArray, hostFile);
    QFETCH(QByteArray, standardHostFile);
    QFETCH(QString, found);
    QFETCH(QString, sharePath);
    QFETCH(QString, message);
    QTemporaryDir root;
    const QString given = root.filePath(QStringLiteral("Velarix CL")) + '/';
    const QString standard = root.filePath(QStringLiteral("opt")) + '/';
    if (!hostFile.isNull())
        writeFile(given + QStringLiteral("IPHost.set"), hostFile);
    if (!standardHostFile.isNull())
        writeFile(standard + QStringLiteral("IPHost.set"), standardHostFile);

    const ClientUpdater::Target target = ClientUpdater::locate(
        argument ? given.split(u' ') : QStringList(), {root.filePath("none/"), standard});
    const QString folder = found == "argument" ? given : found == "standard" ? standard : QString();
    QCOMPARE(target.installFolder, folder);
    QCOMPARE(target.sharePath, sharePath);
    QCOMPARE(target.failure.description, message.replace(QStringLiteral("FOLDER"), folder));
}

void ClientUpdaterTest::threeFiles() {
    Folders folders;
    writeFile(folders.client() + "Copie.txt", "C:\\STAMPE\\,2,1,1,1,1,1,0,0\r\n");
    writeFile(folders.client() + "Documenti.mdb", QByteArray(100000, 'd'));
    writeFile(folders.client() + "ODL.rpt", "template");
    writeFile(folders.install() + "ODL.rpt", "old template, longer than the new one");
    // Someone put a printers file on the share: the workstation keeps its own.
    writeFile(folders.client() + "Stampanti.txt", "ODL=Ufficio\r\n");
    writeFile(folders.install() + "Stampanti.txt", "ODL=Officina\r\n");
    const QDateTime shareTime = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(folders.client() + "ODL.rpt");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(shareTime, QFileDevice::FileModificationTime));
    }

    const Run run = copy(folders);
    QCOMPARE(run.counter, 3);
    QCOMPARE(run.status,
             (QStringList{"Copia 1° file di 3 in corso...", "Copia 2° file di 3 in corso...",
                          "Copia 3° file di 3 in corso...", "Copiati 3 file!"}));
    QVERIFY(run.failed.isEmpty());
    for (const char* name : {"Copie.txt", "Documenti.mdb", "ODL.rpt"})
        QCOMPARE(readFileOrMissing(folders.install() + name),
                 readFileOrMissing(folders.client() + name));
    QCOMPARE(readFileOrMissing(folders.install() + "Stampanti.txt"),
             QByteArray("ODL=Officina\r\n"));
    // The copy keeps the share's time, so the next check sees it as current.
    QCOMPARE(QFileInfo(folders.install() + "ODL.rpt").lastModified().toSecsSinceEpoch(),
             shareTime.toSecsSinceEpoch());
    QVERIFY(leftovers(folders.install()).isEmpty());
}

void ClientUpdaterTest::subfolderIsCopied() {
    Folders folders;
    writeFile(folders.client() + "A.txt", "a");
    writeFile(folders.client() + "Modelli/Sub/FOM.rpt", "fom");
    writeFile(folders.client() + "Z.txt", "z");
    QVERIFY(QDir().mkpath(folders.client() + "Vuota"));

    const Run run = copy(folders);
    QCOMPARE(run.counter, 3);
    QCOMPARE(run.status.last(), QStringLiteral("Copiati 3 file!"));
    QVERIFY(run.failed.isEmpty());
    QCOMPARE(readFileOrMissing(folders.install() + "Modelli/Sub/FOM.rpt"), QByteArray("fom"));
    QCOMPARE(readFileOrMissing(folders.install() + "Z.txt"), QByteArray("z"));
}

void ClientUpdaterTest::readOnlyTargetIsReplacedAndMadeWritable() {
    Folders folders;
    writeFile(folders.client() + "Copie.txt", "new");
    writeFile(folders.install() + "Copie.txt", "old");
    QVERIFY(QFile::setPermissions(folders.install() + "Copie.txt",
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(folders.client() + "Copie.txt", QFile::ReadOwner));

    const Run run = copy(folders);
    QVERIFY(run.failed.isEmpty());
    QCOMPARE(readFileOrMissing(folders.install() + "Copie.txt"), QByteArray("new"));
    const QFile::Permissions permissions = QFile::permissions(folders.install() + "Copie.txt");
    QCOMPARE(permissions & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

void ClientUpdaterTest::executableStaysExecutable_data() {
    QTest::addColumn<bool>("shareExecutable");
    QTest::addColumn<bool>("localExecutable");
    QTest::addColumn<bool>("newProgramExecutable");
    QTest::newRow("both executable") << true << true << true;
    QTest::newRow("share's copy lost its execute bits") << false << true << true;
    QTest::newRow("first copy of a program") << true << false << true;
    QTest::newRow("a data file") << false << false << false;
}

void ClientUpdaterTest::executableStaysExecutable() {
    QFETCH(bool, shareExecutable);
    QFETCH(bool, localExecutable);
    QFETCH(bool, newProgramExecutable);
    Folders folders;
    const auto mode = [](bool executable) {
        const QFile::Permissions rw =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        return executable ? rw | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther : rw;
    };
    writeFile(folders.client() + "VelarixCL", "#!/bin/sh\necho new\n");
    QVERIFY(QFile::setPermissions(folders.client() + "VelarixCL", mode(shareExecutable)));
    writeFile(folders.install() + "VelarixCL", "#!/bin/sh\necho old\n");
    QVERIFY(QFile::setPermissions(folders.install() + "VelarixCL", mode(localExecutable)));

    QVERIFY(copy(folders).failed.isEmpty());
    const QFile::Permissions now = QFile::permissions(folders.install() + "VelarixCL");
    QCOMPARE(bool(now & QFile::ExeOwner), newProgramExecutable);
    QVERIFY(now & QFile::WriteOwner);
    // The program as it was before the copy stays beside it, as it was.
    QCOMPARE(readFile(folders.install() + ClientUpdater::PreviousProgram),
             QByteArray("#!/bin/sh\necho old\n"));
    QCOMPARE(bool(QFile::permissions(folders.install() + ClientUpdater::PreviousProgram) &
                  QFile::ExeOwner),
             localExecutable);
}

void ClientUpdaterTest::unwritableTargetIsReportedAndTheRestCopied() {
    // A folder standing where a file must go cannot be replaced, whoever runs the test.
    Folders folders;
    writeFile(folders.client() + "A.txt", "a");
    writeFile(folders.client() + "B.mdb", "b");
    writeFile(folders.client() + "Modelli/C.rpt", "c");
    writeFile(folders.install() + "B.mdb/keep", "in the way");

    const Run run = copy(folders, 2);
    QCOMPARE(run.counter, 3);
    QCOMPARE(run.failed, QStringList{"\\\\srv\\Velarix\\Client\\B.mdb"});
    QCOMPARE(run.status.last(), QStringLiteral("Copiati 3 file!"));
    QCOMPARE(readFileOrMissing(folders.install() + "A.txt"), QByteArray("a"));
    QCOMPARE(readFileOrMissing(folders.install() + "Modelli/C.rpt"), QByteArray("c"));
    QCOMPARE(readFileOrMissing(folders.install() + "B.mdb/keep"), QByteArray("in the way"));

    // A failure deeper down names the share path with backslashes.
    QVERIFY(QFile::remove(folders.install() + "Modelli/C.rpt"));
    writeFile(folders.install() + "Modelli/C.rpt/x", "in the way");
    QVERIFY(copy(folders).failed.contains("\\\\srv\\Velarix\\Client\\Modelli\\C.rpt"));
    QVERIFY(leftovers(folders.install()).isEmpty());
    QVERIFY(leftovers(folders.install() + "Modelli").isEmpty());
}

void ClientUpdaterTest::replaceIsAtomic() {
    // The target is replaced by a rename, never rewritten in place: a reader that holds the old
    // file keeps reading all of it, and a failed copy leaves the old file whole.
    QTemporaryDir root;
    const QString target = root.filePath(QStringLiteral("Documenti.mdb"));
    const QString source = root.filePath(QStringLiteral("new.mdb"));
    writeFile(target, QByteArray(50000, 'o'));
    writeFile(source, QByteArray(70000, 'n'));
    QFile reader(target);
    QVERIFY(reader.open(QIODevice::ReadOnly));

    QVERIFY(ClientFolderCopy::copyFile(source, target).ok());
    QCOMPARE(reader.readAll(), QByteArray(50000, 'o'));
    QCOMPARE(readFileOrMissing(target), QByteArray(70000, 'n'));

    const Failure failure =
        ClientFolderCopy::copyFile(root.filePath(QStringLiteral("absent.mdb")), target);
    QVERIFY(!failure.ok());
    QVERIFY(!failure.description.isEmpty());
    QCOMPARE(readFileOrMissing(target), QByteArray(70000, 'n'));
    QVERIFY(leftovers(root.path()).isEmpty());

    // A pipe is refused at once instead of blocking the updater.
    const QString pipe = root.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(!ClientFolderCopy::copyFile(pipe, target).ok());
    QCOMPARE(readFileOrMissing(target), QByteArray(70000, 'n'));
}

void ClientUpdaterTest::shareThatCannotBeListed() {
    QTemporaryDir root;
    ClientUpdater updater(QStringLiteral("\\\\\\Velarix\\"), root.path(), root.path() + '/');
    QStringList status;
    QCOMPARE(updater.copyAll([&](const QString& text) { status.append(text); }, {}), 0);
    QCOMPARE(status, QStringList{"Copiati 0 file!"});
}

QTEST_GUILESS_MAIN(ClientUpdaterTest)
#include "tst_clientupdater.moc"
