#pragma once

// Shared pieces of the server tests: a server's folders, a block of loopback ports the server
// really got, and a client that speaks the wire protocol byte for byte.

#include "database.h"
#include "documentschema.h"
#include "testfiles.h"
#include "testports.h"
#include "version.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <unistd.h>

namespace ServerTest {

// A server laid out in a temporary folder: the program folder (a blank in its name) with
// Client/Copie.txt naming the print folder beside it, and bin/ with a stand-in for Samba's "net"
// that writes its arguments, one per line, to net-args.txt. The log VXreg.txt is looked for in
// the folder itself, where the tests run the server.
struct ServerFolder {
    QTemporaryDir dir;
    QString program = dir.filePath(QStringLiteral("Velarix Srv"));
    QString print = dir.filePath(QStringLiteral("Stampe")) + QLatin1Char('/');
    QString bin = dir.filePath(QStringLiteral("bin"));

    ServerFolder() {
        QDir().mkpath(print);
        writeFile(program + QStringLiteral("/Client/Copie.txt"),
                  "\"" + print.toUtf8() + "\"\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
        const QByteArray args = dir.filePath(QStringLiteral("net-args.txt")).toUtf8();
        writeFile(bin + QStringLiteral("/net"), "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' "
                                                "\"$a\"; done > '" +
                                                    args + ".tmp' && mv '" + args + ".tmp' '" +
                                                    args + "'\n");
        QFile::setPermissions(bin + QStringLiteral("/net"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // A test leaves names that are not valid text in the print folder, which QTemporaryDir cannot
    // remove: the print folder's files go first, by their bytes.
    ~ServerFolder() {
        if (DIR* folder = ::opendir(QFile::encodeName(print).constData())) {
            while (const dirent* entry = ::readdir(folder))
                ::unlinkat(::dirfd(folder), entry->d_name, 0); // folders and "." stay
            ::closedir(folder);
        }
    }
    ServerFolder(const ServerFolder&) = delete;
    ServerFolder& operator=(const ServerFolder&) = delete;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QString log() const { return QString::fromUtf8(readFile(path("VXreg.txt"))); }
    // The companies of Client/Documenti.mdb, in the order given.
    void writeCompanies(const QList<int>& codes) const {
        const QString db = program + QStringLiteral("/Client/Documenti.mdb");
        QVERIFY(DocumentSchema::create(db).ok());
        Database database;
        QVERIFY(database.open(Database::connectionText(db)).ok());
        for (int code : codes)
            QVERIFY(database
                        .execute(QStringLiteral("INSERT INTO Ditta (Codice, Intestazione1) "
                                                "VALUES (%1, 'Ditta %1')")
                                     .arg(code))
                        .ok());
        database.close();
    }
};

// Tries blocks of `count` free ports until `open(base)` reports that all of them listen. Another
// program may take a port between the probe and the listen; that costs one more block, never a
// failed test. Returns the base in use, 0 when no block could be had.
template <typename Open> quint16 openOnFreePorts(int count, Open open) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const quint16 base = TestPorts::freeRange(count);
        if (base != 0 && open(base))
            return base;
    }
    return 0;
}

// The TCP ports on which process `pid` listens (Linux: its socket descriptors matched against
// the kernel's socket tables), so a test knows that the ports it calls are that program's.
inline QSet<quint16> listeningPorts(qint64 pid) {
    QSet<QString> inodes;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::Files)) {
        const QString target = fd.symLinkTarget().section(QLatin1Char('/'), -1);
        if (target.startsWith(QLatin1String("socket:[")))
            inodes.insert(target.mid(8).chopped(1));
    }
    QSet<quint16> ports;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file{QString::fromLatin1(table)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // header
        while (!file.atEnd()) {
            const QList<QByteArray> f = file.readLine().simplified().split(' ');
            // sl local rem st tx:rx tr:when retrnsmt uid timeout inode; state 0A is LISTEN.
            if (f.size() > 9 && f[3] == "0A" && inodes.contains(QString::fromLatin1(f[9])))
                ports.insert(quint16(f[1].split(':').last().toUInt(nullptr, 16)));
        }
    }
    return ports;
}

// How many of the 25 workstation ports from `base` on the process listens on (its web page
// listens beside them).
inline int workstationPortsListening(qint64 pid, quint16 base) {
    int count = 0;
    for (const quint16 port : listeningPorts(pid))
        count += port >= base && port < base + 25 ? 1 : 0;
    return count;
}

// The real VelarixSrv of a server folder (copied to <program>/VelarixSrv) started headless and
// unattended in the folder itself, with fast timers, a one-per-machine lock of its own and the
// share published for the test user's group; `extra` adds to that environment. Returns the base
// of the 25 ports it listens on, 0 when it could not start.

inline quint16 startServer(QProcess& server, const ServerFolder& folder,
                           const QProcessEnvironment& extra = {}) {
    const QString binary = folder.program + QStringLiteral("/VelarixSrv");
    if (!QFile::exists(binary) &&
        !QFile::copy(QStringLiteral(VELARIX_BIN_DIR "/VelarixSrv"), binary))
        return 0;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELARIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("VELARIX_TIMER_SCALE"), QStringLiteral("60"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.path("config"));
    // The one-per-machine lock in this run's own folder: a lock a killed server left in a
    // folder kept between runs, once its process id belongs to another server, looks held.
    env.insert(QStringLiteral("VELARIX_LOCK_DIR"), folder.path("locks"));
    // The share is published for a group that exists here: the test user's own.
    if (const group* own = ::getgrgid(::getgid()))
        env.insert(QStringLiteral("VELARIX_SHARE_GROUP"), QFile::decodeName(own->gr_name));
    env.insert(QStringLiteral("PATH"), folder.bin + QLatin1Char(':') + env.value("PATH"));
    env.insert(extra);
    server.setWorkingDirectory(folder.dir.path());
    const QString log = folder.path("VXreg.txt");
    const auto logText = [&] { return QString::fromUtf8(readFile(log)); };
    // The ports open once the window has been activated; a block another program took
    // meanwhile is given up for the next one.
    return openOnFreePorts(25, [&](quint16 base) {
        env.insert(QStringLiteral("VELARIX_BASE_PORT"), QString::number(base));
        server.setProcessEnvironment(env);
        server.start(binary, {});
        if (!server.waitForStarted())
            return false;
        const bool listening = QTest::qWaitFor(
            [&] {
                return workstationPortsListening(server.processId(), base) == 25 ||
                       logText().contains(QStringLiteral("Impossibile aprire la porta"));
            },
            30000);
        if (listening && !logText().contains(QStringLiteral("Impossibile aprire la porta")))
            return true;
        server.kill();
        server.waitForFinished();
        QFile::remove(log);
        return false;
    });
}

// A workstation: connects, sends raw bytes, collects what the server answers.
class Client {
public:
    // from: the local address to call from (127.0.0.2 stands for a second machine).
    bool connectTo(quint16 port, int timeoutMs = 3000, const QHostAddress& from = {}) {
        if (!from.isNull())
            m_socket.bind(from);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(timeoutMs);
    }
    void send(const QByteArray& bytes) {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // Everything received so far (lets pending events run first).
    QByteArray received() {
        QCoreApplication::processEvents();
        m_received += m_socket.readAll();
        return m_received;
    }
    void clearReceived() { dropReceived(-1); }
    // Drops the first bytes received (all of them for -1): the registration's reply, while
    // what the server sent right after it stays.
    void dropReceived(qsizetype bytes) {
        received();
        m_received.remove(0, bytes < 0 ? m_received.size() : bytes);
    }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void disconnect() { m_socket.disconnectFromHost(); }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

// Registers a workstation on the first free port from base upwards, as the client does; null
// when no port answered with the version reply.
inline std::unique_ptr<Client> registerOn(quint16 base, const QByteArray& name,
                                          const QHostAddress& from = {}) {
    const QByteArray reply = "Velarix 1.0 rev. " + QByteArray::number(VELARIX_REVISION) + "\r";
    for (int i = 0; i < 25; ++i) {
        auto c = std::make_unique<Client>();
        if (!c->connectTo(quint16(base + i), 1000, from))
            continue;
        c->send("PC:" + name + "\r");
        if (QTest::qWaitFor([&] { return c->received().size() >= reply.size(); }, 2000) &&
            c->received().startsWith(reply)) {
            c->dropReceived(reply.size());
            return c;
        }
    }
    return nullptr;
}

} // namespace ServerTest
