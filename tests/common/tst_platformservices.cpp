// Autostart registration, single instance, detached start, unattended prompts and the
// environment overrides.
#include "autostart.h"
#include "processstart.h"
#include "runtimeenv.h"
#include "singleinstance.h"
#include "userprompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <unistd.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

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
        return readAll(m_file.fileName());
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};
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
        QCOMPARE(autostartFolder(), config.filePath(QStringLiteral("autostart")));

        QVERIFY(SetAutostart(QStringLiteral("VelarixCL"), command, true));
        const QString file = config.filePath(QStringLiteral("autostart/VelarixCL.desktop"));
        const QByteArray first = readAll(file);
        const QList<QByteArray> lines = first.split('\n');
        QVERIFY(lines.contains("[Desktop Entry]"));
        QVERIFY(lines.contains("Type=Application"));
        QVERIFY(lines.contains("Name=VelarixCL"));
        QVERIFY2(lines.contains(exec.toUtf8()), first.constData());

        // Twice: still one file, same content.
        QVERIFY(SetAutostart(QStringLiteral("VelarixCL"), command, true));
        QCOMPARE(QDir(autostartFolder()).entryList(QDir::Files),
                 QStringList{QStringLiteral("VelarixCL.desktop")});
        QCOMPARE(readAll(file), first);

        QVERIFY(!SetAutostart(QStringLiteral("VelarixCL"), command, false));
        QVERIFY(!QFile::exists(file));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void autostartDefaultsToHomeConfig() {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(autostartFolder(), home.path() + QStringLiteral("/.config/autostart"));
        QVERIFY(SetAutostart(QStringLiteral("VelarixSrv"), QStringLiteral("/x/VelarixSrv"), true));
        QVERIFY(
            QFile::exists(home.path() + QStringLiteral("/.config/autostart/VelarixSrv.desktop")));
        qputenv("HOME", oldHome);
    }

    void autostartRefusesNamesThatAreNotFiles() {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QVERIFY(!SetAutostart(QStringLiteral("../evil"), QStringLiteral("/x"), true));
        QVERIFY(!SetAutostart(QString(), QStringLiteral("/x"), true));
        QVERIFY(!QDir(config.filePath(QStringLiteral("autostart"))).exists() ||
                QDir(config.filePath(QStringLiteral("autostart"))).isEmpty());
        qunsetenv("XDG_CONFIG_HOME");
    }

    void singleInstancePerFolder() {
        QTemporaryDir one, two;
        SingleInstance first(one.path(), QStringLiteral("VelarixCL"));
        QVERIFY(first.acquire());
        QVERIFY(first.acquire()); // asking again keeps it
        QVERIFY(QFile::exists(one.filePath(QStringLiteral("VelarixCL.lock"))));
        {
            SingleInstance second(one.path(), QStringLiteral("VelarixCL"));
            QVERIFY(!second.acquire());
        }
        SingleInstance server(one.path(), QStringLiteral("VelarixSrv"));
        QVERIFY(server.acquire());
        SingleInstance otherInstallation(two.path(), QStringLiteral("VelarixCL"));
        QVERIFY(otherInstallation.acquire());
    }

    void lockOfADeadProcessIsTakenOver() {
        QTemporaryDir dir;
        {
            SingleInstance holder(dir.path(), QStringLiteral("VelarixCL"));
            QVERIFY(holder.acquire());
        }
        // A crash leaves the file behind; its process no longer exists.
        QFile lock(dir.filePath(QStringLiteral("VelarixCL.lock")));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("2147483646\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        SingleInstance next(dir.path(), QStringLiteral("VelarixCL"));
        QVERIFY(next.acquire());
    }

    void detachedStart() {
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("started"));
        QVERIFY(startDetached(QStringLiteral("/bin/sh"),
                              {QStringLiteral("-c"), QStringLiteral("pwd > started")}, dir.path()));
        QTRY_VERIFY(QFile::exists(marker) && QFileInfo(marker).size() > 0);
        QCOMPARE(readAll(marker).trimmed(), QDir(dir.path()).canonicalPath().toUtf8());
        QVERIFY(!startDetached(dir.filePath(QStringLiteral("no-such-program")), {}));
        QVERIFY(!startDetached(QString(), {}));
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
