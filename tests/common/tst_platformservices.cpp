// The platform's services (autostart registration, the share command, the server search's work
// scripts, printer queues, single instance), detached start, unattended prompts and the
// environment overrides.
#include "platform/platform.h"
#include "platform/singleinstance.h"
#include "platform/systemerror.h"
#include "processstart.h"
#include "runtimeenv.h"
#include "testfiles.h"
#include "unprivileged.h"
#include "userprompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <grp.h>
#include <unistd.h>

namespace {
// Captures what is written to standard error while it lives.
class StderrCapture {
public:
    StderrCapture() {
        m_file.open();
        std::fflush(stderr);
        m_saved = dup(2);
        dup2(m_file.handle(), 2);
    }
    QByteArray finish() {
        std::fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        return readFile(m_file.fileName());
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

// Runs a platform work script in `folder`, with stand-in programs from folder/bin first on the
// PATH; true when it ran to its end.
bool runScript(const QString& folder, const QString& name, const QByteArray& body) {
    writeFile(QDir(folder).filePath(name), body);
    const Platform::Command command =
        Platform::current().scriptCommand(QDir(folder).filePath(name));
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), QDir(folder).filePath(QStringLiteral("bin")) +
                                           QLatin1Char(':') + env.value(QStringLiteral("PATH")));
    shell.setProcessEnvironment(env);
    shell.setWorkingDirectory(folder);
    shell.start(command.program, command.arguments);
    return shell.waitForFinished(10000) && shell.exitStatus() == QProcess::NormalExit;
}

// A stand-in for a system program: a shell script in folder/bin.
void writeStandIn(const QString& folder, const QString& name, const QByteArray& script) {
    const QString path = QDir(folder).filePath(QStringLiteral("bin/") + name);
    writeFile(path, "#!/bin/sh\n" + script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
}
// Points the single-instance locks at a folder ("" for the system's places) while it lives.
class LockFolder {
public:
    explicit LockFolder(const QString& folder) : m_old(qgetenv("VELARIX_LOCK_DIR")) {
        if (folder.isEmpty())
            qunsetenv("VELARIX_LOCK_DIR");
        else
            qputenv("VELARIX_LOCK_DIR", folder.toUtf8());
    }
    ~LockFolder() {
        if (m_old.isNull())
            qunsetenv("VELARIX_LOCK_DIR");
        else
            qputenv("VELARIX_LOCK_DIR", m_old);
    }

private:
    QByteArray m_old;
};
using Scope = SingleInstance::Scope;
} // namespace

class TestPlatformServices : public QObject {
    Q_OBJECT

private slots:
    void autostartFile_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain path") << "/opt/velarix/VelarixCL"
                                    << "Exec=/opt/velarix/VelarixCL";
        QTest::newRow("blanks quoted") << "/home/u/Velarix CL/VelarixCL"
                                       << "Exec=\"/home/u/Velarix CL/VelarixCL\"";
        QTest::newRow("quote, dollar and percent") << "/opt/a\"b$c%d/VelarixCL"
                                                   << "Exec=\"/opt/a\\\\\"b\\\\$c%%d/VelarixCL\"";
    }
    void autostartFile() {
        QFETCH(QString, command);
        QFETCH(QString, exec);
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QCOMPARE(Platform::current().autostartLocation(),
                 config.filePath(QStringLiteral("autostart")));

        QVERIFY(Platform::current().addAutostart(QStringLiteral("VelarixCL"), command).ok());
        const QString file = config.filePath(QStringLiteral("autostart/VelarixCL.desktop"));
        const QByteArray first = readFile(file);
        const QList<QByteArray> lines = first.split('\n');
        QVERIFY(lines.contains("[Desktop Entry]"));
        QVERIFY(lines.contains("Type=Application"));
        QVERIFY(lines.contains("Name=VelarixCL"));
        QVERIFY2(lines.contains(exec.toUtf8()), first.constData());

        // Twice: still one file, same content.
        QVERIFY(Platform::current().addAutostart(QStringLiteral("VelarixCL"), command).ok());
        QCOMPARE(QDir(Platform::current().autostartLocation()).entryList(QDir::Files),
                 QStringList{QStringLiteral("VelarixCL.desktop")});
        QCOMPARE(readFile(file), first);

        QVERIFY(Platform::current().removeAutostart(QStringLiteral("VelarixCL")).ok());
        QVERIFY(!QFile::exists(file));
        QVERIFY(Platform::current().removeAutostart(QStringLiteral("VelarixCL")).ok());
        qunsetenv("XDG_CONFIG_HOME");
    }

    void autostartDefaultsToHomeConfig() {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(Platform::current().autostartLocation(),
                 home.path() + QStringLiteral("/.config/autostart"));
        QVERIFY(Platform::current()
                    .addAutostart(QStringLiteral("VelarixSrv"), QStringLiteral("/x/VelarixSrv"))
                    .ok());
        QVERIFY(
            QFile::exists(home.path() + QStringLiteral("/.config/autostart/VelarixSrv.desktop")));
        qputenv("HOME", oldHome);
    }

    void autostartFailuresSayWhy() {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        const Platform& platform = Platform::current();
        QCOMPARE(platform.addAutostart(QStringLiteral("../evil"), QStringLiteral("/x")).number,
                 ErrorNumber::BadFileNameOrNumber);
        QCOMPARE(platform.addAutostart(QString(), QStringLiteral("/x")).number,
                 ErrorNumber::BadFileNameOrNumber);
        QCOMPARE(platform.removeAutostart(QStringLiteral("..")).number,
                 ErrorNumber::BadFileNameOrNumber);
        QVERIFY(!QDir(config.filePath(QStringLiteral("autostart"))).exists());

        // A file where the folder should be: the entry cannot be written, and the reason names it.
        writeFile(config.filePath(QStringLiteral("autostart")), "x");
        const Failure blocked =
            platform.addAutostart(QStringLiteral("VelarixCL"), QStringLiteral("/x"));
        QCOMPARE(blocked.number, ErrorNumber::PathFileAccess);
        QVERIFY2(blocked.description.contains(platform.autostartLocation()),
                 qPrintable(blocked.description));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void shareIsReadOnlyForTheGroup_data() {
        QTest::addColumn<bool>("guests");
        QTest::addColumn<QString>("acl");
        QTest::addColumn<QString>("guestOk");
        const QString group = QStringLiteral("S-1-22-2-") + QString::number(::getgid()) + ":R";
        QTest::newRow("members only") << false << group << "guest_ok=n";
        QTest::newRow("guests asked for") << true << group + ",S-1-1-0:R"
                                          << "guest_ok=y";
    }

    void shareIsReadOnlyForTheGroup() {
        QFETCH(bool, guests);
        QFETCH(QString, acl);
        QFETCH(QString, guestOk);
        const group* own = ::getgrgid(::getgid());
        QVERIFY(own);
        Platform::Command cmd;
        QVERIFY(!Platform::current().shareCommand(QStringLiteral("/opt/Velarix Server"),
                                                  {QString::fromLocal8Bit(own->gr_name), guests},
                                                  &cmd));
        QCOMPARE(cmd.program, QStringLiteral("net"));
        // The folder, blank included, is one argument.
        const QStringList expected{QStringLiteral("usershare"),
                                   QStringLiteral("add"),
                                   QStringLiteral("Velarix"),
                                   "/opt/Velarix Server",
                                   QString(),
                                   acl,
                                   guestOk};
        QCOMPARE(cmd.arguments, expected);
    }

    void shareForAMissingGroupIsNotPublished() {
        const Failure failure = Platform::current().publishShare(
            QStringLiteral("/opt/velarix"), {QStringLiteral("no-such-group-vx"), false});
        QCOMPARE(failure.number, ErrorNumber::PathNotFound);
        QVERIFY(failure.description.contains(QStringLiteral("no-such-group-vx")));
    }

    void serverListScriptShapesTheBrowseList() {
        // The real script, with a stand-in smbtree printing what Samba's prints: a computer with
        // a remark, its share line, and a bare computer.
        QTemporaryDir root;
        writeStandIn(root.path(), QStringLiteral("smbtree"),
                     "printf 'WORKGROUP\\n\\t\\\\\\\\ALFA          \\tSamba 4.17\\n"
                     "\\t\\t\\\\\\\\ALFA\\\\Velarix    \\tDisk\\n\\t\\\\\\\\BETA\\n'\n");
        QVERIFY(runScript(root.path(), QStringLiteral("TESTSRV.BAT"),
                          Platform::current().serverListScript()));
        const QList<QByteArray> lines =
            readFile(root.filePath(QStringLiteral("SERVER.TXT")), "<missing>").split('\n');
        QCOMPARE(lines.size(), 5); // heading, rule, two computers, end of the last line
        QVERIFY(lines[1].startsWith('-'));
        QCOMPARE(lines.mid(2), (QList<QByteArray>{"\\\\ALFA", "\\\\BETA", ""}));
        QVERIFY(!QFile::exists(root.filePath(QStringLiteral("SERVER.TXT.tmp"))));
    }

    void addressScriptQuotesTheName() {
        // A name from the network reaches the lookup as one word and is never run as a command.
        QTemporaryDir root;
        const QString name = QStringLiteral("BETA'; touch pwned; echo '$(touch pwned2)");
        writeStandIn(root.path(), QStringLiteral("getent"),
                     "printf '%s\\n' \"$2\" > asked.txt\necho '192.168.9.9  STREAM x'\n");
        QVERIFY(runScript(root.path(), QStringLiteral("TESTIP.BAT"),
                          Platform::current().addressScript(name)));
        QCOMPARE(readFile(root.filePath(QStringLiteral("asked.txt"))), name.toUtf8() + '\n');
        QVERIFY(!QFile::exists(root.filePath(QStringLiteral("pwned"))));
        QVERIFY(!QFile::exists(root.filePath(QStringLiteral("pwned2"))));
        QVERIFY(readFile(root.filePath(QStringLiteral("IP.TXT"))).contains("[192.168.9.9]"));

        // A name that does not resolve leaves no brackets for the reader to take.
        writeStandIn(root.path(), QStringLiteral("getent"), "exit 2\n");
        writeStandIn(root.path(), QStringLiteral("nmblookup"), "exit 1\n");
        QVERIFY(runScript(root.path(), QStringLiteral("TESTIP.BAT"),
                          Platform::current().addressScript(QStringLiteral("GAMMA"))));
        const QByteArray unresolved = readFile(root.filePath(QStringLiteral("IP.TXT")));
        QVERIFY2(unresolved.contains("GAMMA") && !unresolved.contains('['), unresolved.constData());
    }

    void sharedFileSizeAsksThatComputer() {
        // BETA shares the program, GAMMA a folder of that name, ALFA has no share.
        QTemporaryDir network;
        writeFile(network.filePath(QStringLiteral("BETA/Velarix/VelarixSrv")), "ELF\x7f");
        QVERIFY(QDir().mkpath(network.filePath(QStringLiteral("GAMMA/Velarix/VelarixSrv"))));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", VELARIX_SOURCE_DIR "/tests/support/standins:" + oldPath);
        qputenv("VELARIX_TEST_NETWORK", network.path().toUtf8());
        const Platform& platform = Platform::current();
        const QString program = QStringLiteral("VelarixSrv");
        const qint64 beta = platform.sharedFileSize(QStringLiteral("BETA"), program);
        const qint64 missing = platform.sharedFileSize(QStringLiteral("BETA"), QStringLiteral("X"));
        const qint64 folder = platform.sharedFileSize(QStringLiteral("GAMMA"), program);
        const qint64 alfa = platform.sharedFileSize(QStringLiteral("ALFA"), program);
        // Names that would reach another share or another command are never asked.
        for (const char* name : {"BETA/Velarix", "BETA Velarix", "BETA;ls", ""})
            QCOMPARE(platform.sharedFileSize(QString::fromUtf8(name), program), -1);
        QCOMPARE(platform.sharedFileSize(QStringLiteral("BETA"), QStringLiteral("a;b")), -1);
        qputenv("PATH", oldPath);
        qunsetenv("VELARIX_TEST_NETWORK");

        QCOMPARE(beta, 4);
        QCOMPARE(missing, -1);
        QCOMPARE(folder, 0);
        QCOMPARE(alfa, -1);
        QCOMPARE(
            readFile(network.filePath(QStringLiteral("asked.txt"))).split('\n'),
            (QList<QByteArray>{"//BETA/Velarix -N -c ls VelarixSrv", "//BETA/Velarix -N -c ls X",
                               "//GAMMA/Velarix -N -c ls VelarixSrv",
                               "//ALFA/Velarix -N -c ls VelarixSrv", ""}));
    }

    void printerQueueRefusingJobs_data() {
        QTest::addColumn<QByteArray>("lpstatOutput");
        QTest::addColumn<bool>("accepts");
        QTest::newRow("accepting") << QByteArray("ufficio accepting requests since Mon\n") << true;
        QTest::newRow("refusing") << QByteArray("ufficio not accepting requests since Mon -\n")
                                  << false;
        QTest::newRow("another queue refusing")
            << QByteArray("ufficio2 not accepting requests since Mon -\n") << true;
        QTest::newRow("no answer") << QByteArray() << true;
    }
    void printerQueueRefusingJobs() {
        QFETCH(QByteArray, lpstatOutput);
        QFETCH(bool, accepts);
        QTemporaryDir root;
        writeFile(root.filePath(QStringLiteral("answer")), lpstatOutput);
        writeStandIn(root.path(), QStringLiteral("lpstat"),
                     "[ \"$1\" = -a ] && cat '" + root.filePath(QStringLiteral("answer")).toUtf8() +
                         "'\n");
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", root.filePath(QStringLiteral("bin")).toUtf8() + ':' + oldPath);
        const bool result = Platform::current().printerAcceptsJobs(QStringLiteral("ufficio"));
        qputenv("PATH", oldPath);
        QCOMPARE(result, accepts);
    }

    void singleInstancePerMachineAndUser() {
        // Without a test folder the locks lie in the system's places, never in a program folder
        // (which may be read-only, or shared by several machines).
        {
            LockFolder none{QString()};
            const SingleInstance server(Scope::Machine, QStringLiteral("VelarixSrv"));
            QCOMPARE(QFileInfo(server.lockPath()).absolutePath(),
                     QDir(Platform::current().machineLockFolder()).absolutePath());
            const SingleInstance client(Scope::User, QStringLiteral("VelarixCL"));
            QCOMPARE(QFileInfo(client.lockPath()).absolutePath(),
                     QDir(Platform::current().userLockFolder()).absolutePath());
        }
        QTemporaryDir dir;
        LockFolder locks(dir.filePath(QStringLiteral("nuova")));
        SingleInstance first(Scope::Machine, QStringLiteral("VelarixSrv"));
        QVERIFY(first.claim().ok()); // the folder is made when missing
        QVERIFY(first.claim().ok()); // asking again keeps it
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("nuova/VelarixSrv.lock"))));
        {
            SingleInstance second(Scope::Machine, QStringLiteral("VelarixSrv"));
            const Failure taken = second.claim();
            QCOMPARE(taken.number, ErrorNumber::FileAlreadyOpen);
            QVERIFY2(taken.description.contains(QStringLiteral("VelarixSrv.lock")),
                     qPrintable(taken.description));
        }
        SingleInstance client(Scope::User, QStringLiteral("VelarixCL"));
        QVERIFY(client.claim().ok());
    }

    void lockInAReadOnlyFolderIsNotAnotherInstance() {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                      QFile::ReadOther | QFile::ExeOther));
        LockFolder locks(dir.path());
        Failure failure;
        {
            Unprivileged nobody;
            if (!nobody.effective())
                QSKIP("runs as root and cannot drop privileges: permissions prove nothing");
            failure = SingleInstance(Scope::User, QStringLiteral("VelarixCL")).claim();
        }
        QCOMPARE(failure.number, ErrorNumber::PermissionDenied);
    }

    void lockOfADeadProcessIsTakenOver() {
        QTemporaryDir dir;
        LockFolder locks(dir.path());
        {
            SingleInstance holder(Scope::User, QStringLiteral("VelarixCL"));
            QVERIFY(holder.claim().ok());
        }
        // A crash leaves the file behind; its process no longer exists.
        QFile lock(dir.filePath(QStringLiteral("VelarixCL.lock")));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("2147483646\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        SingleInstance next(Scope::User, QStringLiteral("VelarixCL"));
        QVERIFY(next.claim().ok());
    }

    void detachedStart() {
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("started"));
        QVERIFY(startProgram(QStringLiteral("/bin/sh"),
                             {QStringLiteral("-c"), QStringLiteral("pwd > started")}, dir.path())
                    .ok());
        QTRY_VERIFY(QFile::exists(marker) && QFileInfo(marker).size() > 0);
        QCOMPARE(readFile(marker).trimmed(), QDir(dir.path()).canonicalPath().toUtf8());

        // Each refusal says which program and why.
        const QString missing = dir.filePath(QStringLiteral("no-such-program"));
        const Failure notFound = startProgram(missing, {});
        QCOMPARE(notFound.number, ErrorNumber::FileNotFound);
        QVERIFY2(notFound.description.contains(missing) &&
                     notFound.description.endsWith(QStringLiteral("(file inesistente)")),
                 qPrintable(notFound.description));
        QCOMPARE(startProgram(marker, {}).number, ErrorNumber::PermissionDenied); // not executable
        QCOMPARE(startProgram(QStringLiteral("sh"), {}, missing).number, ErrorNumber::PathNotFound);
        QCOMPARE(startProgram(QString(), {}).number, ErrorNumber::BadFileNameOrNumber);
    }

    void fileErrorsSayTheSystemsReasonInItalian() {
        // Qt's file errors carry the system's words in English.
        QTemporaryDir dir;
        QFile missing(dir.filePath(QStringLiteral("manca/file")));
        QVERIFY(!missing.open(QIODevice::ReadOnly));
        QCOMPARE(fileErrorText(missing),
                 QStringLiteral("impossibile aprire il file: file inesistente"));
        QFile folder(dir.path());
        QVERIFY(!folder.open(QIODevice::WriteOnly));
        QCOMPARE(fileErrorText(folder),
                 QStringLiteral("impossibile aprire il file: è una cartella"));
    }

    void unattendedPromptsWriteOneLineEach() {
        QCoreApplication::setApplicationName(QStringLiteral("VelarixCL"));
        UnattendedPrompts prompts;
        StderrCapture capture;
        prompts.message(QStringLiteral("Programma già in esecuzione!"), QString(),
                        UserPrompts::Icon::Exclamation);
        const bool yes = prompts.question(QStringLiteral("Ricerca automatica?\r\nSi o no"),
                                          QStringLiteral("Cerca"));
        const QString answer = prompts.input(QStringLiteral("Indirizzo server"), QString());
        const QByteArray err = capture.finish();
        QVERIFY(!yes);
        QVERIFY(answer.isEmpty());
        QCOMPARE(QString::fromUtf8(err),
                 QStringLiteral("VelarixCL: Programma già in esecuzione!\n"
                                "VelarixCL: [Cerca] Ricerca automatica? Si o no\n"
                                "VelarixCL: Indirizzo server\n"));
    }

    void environment_data() {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<QByteArray>("scale");
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<QByteArray>("unattended");
        QTest::addColumn<int>("basePort");
        QTest::addColumn<int>("interval1000");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("isUnattended");
        QTest::newRow("defaults") << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                                  << 1500 << 1000 << "windows-1252" << false;
        QTest::newRow("valid overrides")
            << QByteArray("2100") << QByteArray("10") << QByteArray("ibm850") << QByteArray("1")
            << 2100 << 100 << "IBM850" << true;
        QTest::newRow("bad values fall back")
            << QByteArray("15x") << QByteArray("-3") << QByteArray("ebcdic") << QByteArray("0")
            << 1500 << 1000 << "windows-1252" << false;
        QTest::newRow("port too high for 25 ports")
            << QByteArray("65520") << QByteArray("0") << QByteArray("850") << QByteArray("yes")
            << 1500 << 1000 << "IBM850" << true;
    }
    void environment() {
        QFETCH(QByteArray, port);
        QFETCH(QByteArray, scale);
        QFETCH(QByteArray, codePage);
        QFETCH(QByteArray, unattended);
        QFETCH(int, basePort);
        QFETCH(int, interval1000);
        QFETCH(QString, page);
        QFETCH(bool, isUnattended);
        auto set = [](const char* name, const QByteArray& v) {
            if (v.isNull())
                qunsetenv(name);
            else
                qputenv(name, v);
        };
        set("VELARIX_BASE_PORT", port);
        set("VELARIX_TIMER_SCALE", scale);
        set("VELARIX_CODEPAGE", codePage);
        set("VELARIX_UNATTENDED", unattended);
        qputenv("VELARIX_PC_NAME", "  UFFICIO3 ");
        const RuntimeEnv env = RuntimeEnv::read();
        QCOMPARE(env.basePort, basePort);
        QCOMPARE(env.interval(1000), interval1000);
        QCOMPARE(env.interval(1), 1); // never below a millisecond
        QCOMPARE(env.codePage, page);
        QCOMPARE(env.unattended, isUnattended);
        QCOMPARE(env.pcName, QStringLiteral("UFFICIO3"));
        qunsetenv("VELARIX_PC_NAME");
        QCOMPARE(RuntimeEnv::read().pcName, QSysInfo::machineHostName());

        // The share root is the usual mount point unless the environment names another.
        qunsetenv("VELARIX_SHARE_ROOT");
        QCOMPARE(RuntimeEnv::read().shareRoot, QStringLiteral("/mnt/velarix"));
        qputenv("VELARIX_SHARE_ROOT", "/srv/share");
        QCOMPARE(RuntimeEnv::read().shareRoot, QStringLiteral("/srv/share"));
        qunsetenv("VELARIX_SHARE_ROOT");
    }
};

QTEST_GUILESS_MAIN(TestPlatformServices)
#include "tst_platformservices.moc"
