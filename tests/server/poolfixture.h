#pragma once

// Shared pieces of the server tests: a server's folders, a block of loopback ports the server
// really got, and a client that speaks the wire protocol byte for byte.

#include "database.h"
#include "documentschema.h"
#include "testfiles.h"
#include "testports.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

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

// A workstation: connects, sends raw bytes, collects what the server answers.
class Client {
public:
    bool connectTo(quint16 port, int timeoutMs = 3000) {
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
    void clearReceived() {
        received();
        m_received.clear();
    }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void disconnect() { m_socket.disconnectFromHost(); }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

} // namespace ServerTest
