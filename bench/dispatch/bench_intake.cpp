// Figures of the real VelarixSrv's new-file intake, real timers:
//   bench_dispatch_intake big [MB...]   a file of MB megabytes without a line end, a link to
//       /dev/zero and a pipe dropped with a normal file: how long the normal file waits for its
//       print request, the longest connect-to-reply time meanwhile, when the big file is set
//       aside, and how long SIGTERM takes to end the server (default 40 and 80 MB)
//   bench_dispatch_intake idle [S] [N]  the server's CPU over S seconds (default 60) with an empty
//       print folder, then with N set-aside files (default 10,000)
#include "installation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {
double cpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
           double(sysconf(_SC_CLK_TCK));
}

// Connects on the first port that answers "PC:" with the version, trying again until the ports
// open; -1 ms when none did within 20 s.
qint64 registerOn(QTcpSocket& socket, quint16 base, const QByteArray& name) {
    QElapsedTimer t;
    t.start();
    for (int port = base; t.elapsed() < 20000; port = port + 1 < base + 25 ? port + 1 : base) {
        socket.abort();
        socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
        if (!socket.waitForConnected(5000)) {
            QThread::msleep(20);
            continue;
        }
        socket.write("PC:" + name + "\r");
        if (socket.waitForReadyRead(15000) && socket.readAll().startsWith("Velarix"))
            return t.elapsed();
    }
    return -1;
}

int big(const QList<int>& sizes) {
    for (int mb : sizes) {
        Installation inst(1.0);
        QTcpSocket station;
        if (!inst.startServer() || registerOn(station, inst.basePort(), "BENCH") < 0) {
            std::fprintf(stderr, "server did not start or answer: %s\n",
                         qPrintable(inst.serverLog().join(QLatin1Char('\n'))));
            return 1;
        }
        const QString print = inst.printFolder() + QLatin1Char('/');
        inst.dropBytes(QStringLiteral("GRANDE.001"), QByteArray(qint64(mb) << 20, 'x'));
        QFile::link(QStringLiteral("/dev/zero"), print + QStringLiteral("ZERO.001"));
        ::mkfifo(QFile::encodeName(print + QStringLiteral("TUBO.001")).constData(), 0600);
        QElapsedTimer t;
        t.start();
        inst.dropBytes(QStringLiteral("NORMALE.001"), "PC:BENCH\r\n");
        QByteArray got;
        qint64 announced = -1;
        qint64 setAside = -1;
        qint64 slowestReply = 0;
        while (t.elapsed() < 30000 && (announced < 0 || setAside < 0)) {
            // A newcomer's wait for its version reply while the big file lies there.
            QTcpSocket probe;
            slowestReply = qMax(slowestReply, registerOn(probe, inst.basePort(), "PROBE"));
            if (station.waitForReadyRead(20))
                got += station.readAll();
            if (announced < 0 && got.contains("NORMALE.001.PRN"))
                announced = t.elapsed();
            if (setAside < 0 && QFile::exists(print + QStringLiteral("GRANDE.001.ERR")))
                setAside = t.elapsed();
        }
        QElapsedTimer stop;
        stop.start();
        inst.stopServer();
        std::printf("%d MB without line end: normal file announced after %lld ms, big file set "
                    "aside after %lld ms, slowest connect-to-reply %lld ms, SIGTERM to exit %lld "
                    "ms\n",
                    mb, announced, setAside, slowestReply, stop.elapsed());
    }
    return 0;
}

double idleShare(Installation& inst, int seconds) {
    if (!inst.startServer())
        return -1;
    QThread::sleep(3); // start-up work is not idle time
    const qint64 pid = inst.serverPid();
    const double before = cpuSeconds(pid);
    QThread::sleep(seconds);
    const double share = 100.0 * (cpuSeconds(pid) - before) / seconds;
    inst.stopServer();
    return share;
}

int idle(int seconds, int files) {
    Installation inst(1.0);
    const double empty = idleShare(inst, seconds);
    const QString print = inst.printFolder() + QLatin1Char('/');
    for (int i = 0; i < files; ++i) {
        QFile f(print + QStringLiteral("F%1.001.ERR").arg(i, 5, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write("PC:VIA\r\n");
    }
    const double full = idleShare(inst, seconds);
    std::printf("idle server over %d s: %.2f %% of a core with an empty print folder, %.2f %% "
                "with %d set-aside files\n",
                seconds, empty, full, files);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("big")) {
        QList<int> sizes;
        for (const QString& a : args.mid(1))
            sizes << a.toInt();
        return big(sizes.isEmpty() ? QList<int>{40, 80} : sizes);
    }
    if (args.value(0) == QLatin1String("idle"))
        return idle(args.value(1, QStringLiteral("60")).toInt(),
                    args.value(2, QStringLiteral("10000")).toInt());
    std::fprintf(stderr, "usage: bench_dispatch_intake big [MB...] | idle [seconds] [files]\n");
    return 2;
}
