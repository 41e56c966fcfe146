// Figures of the whole system, with the real VelarixSrv and VelarixCL on loopback and the real
// timers (no scaling):
//   bench_endtoend latency [N]        drop-to-printed time of N files, one at a time (default 100)
//   bench_endtoend burst [N] [W]      N files for W workstations dropped at once (default 500, 5):
//                                     total time, files lost, files printed twice
//   bench_endtoend morning [W] [F]    W workstations (default 5) start together while F files each
//                                     (default 10) wait for them: time from each one's
//                                     registration to its first printed document, and until all
//                                     are printed
//   bench_endtoend roundtrip [N]      "DIR:" to "DEL:" through a fake server, 1-page and 20-page
//                                     documents, N runs each (default 50)
//   bench_endtoend idle [S]           client CPU while it sweeps with no server for S seconds
//   bench_endtoend pages [C]          "DIR:" to "DEL:" of one 400-page and one 1,600-page work
//                                     order with C copies (default 0: the import alone), and
//                                     how many times longer the larger one takes
//   bench_endtoend archive [N] [Q]    "DIR:" to "DEL:" of a 20-page document with and without the
//                                     PDF archive (Stampanti.txt ARCHIVIO=), N runs each
//                                     (default 30), taking turns; printed on the printer queue Q
//                                     when given (the archive is then rendered on its own), else
//                                     as PDF files (the archive takes the last copy's file)
#include "fakeserver.h"
#include "installation.h"
#include "testports.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {
void pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

template <typename Pred> bool waitFor(Pred pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (pred())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::usleep(500);
    }
    return pred();
}

double percentile(QList<double> v, double p) {
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(std::min<qsizetype>(v.size() - 1, qsizetype(p * double(v.size() - 1) + 0.5)));
}

int latency(int n) {
    Installation inst(1.0);
    const QString ws = QStringLiteral("BENCH");
    if (!inst.startServer() || !inst.startClient(ws) || !inst.waitRegistered(ws, 30000))
        return 1;
    QList<double> times;
    for (int i = 0; i < n; ++i) {
        const qsizetype before = inst.pdfs(ws).size();
        QElapsedTimer t;
        t.start();
        inst.drop(QStringLiteral("L%1.001").arg(i, 4, 10, QLatin1Char('0')), ws);
        if (!waitFor(
                [&] {
                    return inst.pdfs(ws).size() > before && inst.printFolderEntries().isEmpty();
                },
                30000)) {
            std::printf("file %d not printed within 30 s\n", i);
            return 1;
        }
        times << double(t.nsecsElapsed()) / 1e6;
        pump(int(QRandomGenerator::global()->bounded(200))); // drops do not align with the tick
    }
    std::printf("drop-to-printed over %d files: median %.0f ms, 95th percentile %.0f ms, "
                "max %.0f ms\n",
                n, percentile(times, 0.5), percentile(times, 0.95), percentile(times, 1.0));
    return 0;
}

int burst(int n, int stations) {
    Installation inst(1.0);
    QStringList names;
    if (!inst.startServer())
        return 1;
    for (int w = 0; w < stations; ++w) {
        names << QStringLiteral("WS%1").arg(w);
        inst.startClient(names.last());
    }
    for (const QString& ws : names)
        if (!inst.waitRegistered(ws, 30000))
            return 1;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i)
        inst.drop(QStringLiteral("B%1.001").arg(i, 4, 10, QLatin1Char('0')), names.at(i % stations),
                  {QStringLiteral("Documento %1 fine").arg(i)});
    auto printedCount = [&] {
        qsizetype total = 0;
        for (const QString& ws : names)
            total += inst.pdfs(ws).size();
        return total;
    };
    const bool all =
        waitFor([&] { return printedCount() >= n && inst.printFolderEntries().isEmpty(); }, 600000);
    const double seconds = double(t.elapsed()) / 1000.0;
    pump(3000);
    QHash<int, int> seen;
    for (const QString& ws : names)
        for (const QString& pdf : inst.pdfs(ws)) {
            const QString text = inst.pdfText(inst.pdfFolder(ws) + QLatin1Char('/') + pdf);
            const qsizetype at = text.indexOf(QStringLiteral("Documento "));
            if (at >= 0)
                ++seen[text.mid(at + 10).section(QLatin1Char(' '), 0, 0).toInt()];
        }
    int lost = 0, twice = 0;
    for (int i = 0; i < n; ++i) {
        lost += seen.value(i) == 0 ? 1 : 0;
        twice += seen.value(i) > 1 ? 1 : 0;
    }
    std::printf("burst of %d files for %d workstations: %s in %.1f s (%.1f files/s), lost %d, "
                "printed twice %d, left in the folder %lld\n",
                n, stations, all ? "all printed" : "NOT all printed", seconds, double(n) / seconds,
                lost, twice, qlonglong(inst.printFolderEntries().size()));
    return lost == 0 && twice == 0 ? 0 : 1;
}

// Milliseconds since `t` at which the server's log first shows each workstation's registration.
void noteRegistrations(const Installation& inst, const QStringList& names, const QElapsedTimer& t,
                       QHash<QString, qint64>& at) {
    const QStringList log = inst.serverLog();
    for (const QString& ws : names) {
        if (!at.contains(ws) && !log.filter(QStringLiteral(" al pc:") + ws).isEmpty())
            at.insert(ws, t.elapsed());
    }
}

int morning(int stations, int files) {
    Installation inst(1.0);
    if (!inst.startServer())
        return 1;
    QStringList names;
    for (int w = 0; w < stations; ++w) {
        names << QStringLiteral("MATTINO%1").arg(w);
        for (int f = 0; f < files; ++f)
            inst.drop(QStringLiteral("M%1F%2.001").arg(w).arg(f, 2, 10, QLatin1Char('0')),
                      names.last());
    }
    // Every file accepted and waiting for its absent workstation.
    if (!waitFor(
            [&] {
                return inst.printFolderEntries().filter(QStringLiteral(".PRN")).size() ==
                       stations * files;
            },
            30000))
        return 1;
    QElapsedTimer t;
    t.start();
    for (const QString& ws : names)
        inst.startClient(ws);
    QHash<QString, qint64> registered, first;
    qint64 all = -1;
    while (all < 0 && t.elapsed() < 600000) {
        noteRegistrations(inst, names, t, registered);
        qsizetype printed = 0;
        for (const QString& ws : names) {
            const qsizetype n = inst.pdfs(ws).size();
            printed += n;
            if (n > 0 && !first.contains(ws))
                first.insert(ws, t.elapsed());
        }
        if (printed >= stations * files)
            all = t.elapsed();
        pump(20);
    }
    qint64 worst = 0;
    for (const QString& ws : names) {
        const qint64 wait = first.value(ws, -1) - registered.value(ws, 0);
        worst = std::max(worst, wait);
        std::printf("%s: registered after %.1f s, first document printed %.1f s later\n",
                    qPrintable(ws), double(registered.value(ws, -1)) / 1000.0,
                    double(wait) / 1000.0);
    }
    std::printf("%d workstations, %d files each: longest wait for a first document %.1f s, all "
                "%d printed %.1f s after the start (%s)\n",
                stations, files, double(worst) / 1000.0, stations * files, double(all) / 1000.0,
                all < 0 ? "NOT all printed" : "all printed");
    return all < 0 ? 1 : 0;
}

// An ODL document of `pages` full pages, each ended by a page break but the last.
QByteArray odlPages(const QString& ws, int pages) {
    QStringList lines{QStringLiteral("@BENCH^01"), QStringLiteral("^FL:  1 PC:") + ws, QString()};
    for (int p = 0; p < pages; ++p) {
        for (int i = 0; i < 14; ++i)
            lines << QStringLiteral("Intestazione riga %1").arg(i);
        for (int i = 0; i < 40; ++i)
            lines << QStringLiteral("Riga %1 descrizione articolo                    € 12,50")
                         .arg(p * 40 + i);
        lines << QStringLiteral("Totale pagina € 500,00");
        if (p + 1 < pages)
            lines << QStringLiteral("\f");
    }
    lines << QString();
    QStringEncoder encode("windows-1252");
    return encode(lines.join(QStringLiteral("\r\n")));
}

// A client of the installation started against a fake server, and registered with it.
bool startAgainst(FakeServer& server, Installation& inst, const QString& ws) {
    return server.listen(inst.basePort()) && inst.startClient(ws) &&
           waitFor([&] { return server.registrations() > 0; }, 30000);
}

// Milliseconds from "DIR:" for a print file of these bytes to its "DEL:"; -1 when none came.
double timedRequest(FakeServer& server, const Installation& inst, const QString& name,
                    const QByteArray& bytes, int timeoutMs = 30000) {
    QFile f(inst.printFolder() + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return -1;
    f.close();
    const qsizetype before = server.completions().size();
    QElapsedTimer t;
    t.start();
    server.sendPrintRequest(inst.sharePrintFolder() + name);
    if (!waitFor([&] { return server.completions().size() > before; }, timeoutMs))
        return -1;
    return double(t.nsecsElapsed()) / 1e6;
}

int roundtrip(int runs) {
    Installation inst(1.0);
    const QString ws = QStringLiteral("ROUND");
    FakeServer server;
    if (!startAgainst(server, inst, ws))
        return 1;
    for (int pages : {1, 20}) {
        QList<double> times;
        for (int r = 0; r < runs; ++r) {
            const double ms =
                timedRequest(server, inst, QStringLiteral("R%1P%2.001.PRN").arg(r).arg(pages),
                             odlPages(ws, pages));
            if (ms < 0)
                return 1;
            times << ms;
        }
        std::printf(
            "DIR to DEL, %2d-page document, %d runs: median %.1f ms, 95th percentile %.1f ms\n",
            pages, runs, percentile(times, 0.5), percentile(times, 0.95));
    }
    return 0;
}

int archiveCost(int runs, const QString& queue) {
    Installation inst(1.0);
    const QString ws = QStringLiteral("ARCH");
    if (!queue.isEmpty())
        inst.setEnv(QStringLiteral("VELARIX_PDF_DIR"), QString());
    FakeServer server;
    if (!startAgainst(server, inst, ws))
        return 1;
    QTemporaryDir archive;
    const QString settings = inst.clientFolder(ws) + QStringLiteral("/Stampanti.txt");
    // The client reads Stampanti.txt at every document: the two cases take turns in one client.
    const auto useArchive = [&](bool on) {
        QFile f(settings);
        f.open(QIODevice::WriteOnly);
        if (!queue.isEmpty())
            f.write("ODL=" + queue.toLocal8Bit() + "\r\n");
        if (on)
            f.write("ARCHIVIO=" + archive.path().toLocal8Bit() + "\r\n");
    };
    QList<double> times[2];
    for (int r = 0; r < 2 * runs; ++r) {
        const bool on = r % 2 == 1;
        useArchive(on);
        const double ms =
            timedRequest(server, inst, QStringLiteral("A%1.001.PRN").arg(r), odlPages(ws, 20));
        if (ms < 0)
            return 1;
        times[on ? 1 : 0] << ms;
    }
    const double without = percentile(times[0], 0.5);
    const double with = percentile(times[1], 0.5);
    std::printf("DIR to DEL, 20-page document, %d runs each: median %.1f ms without the archive, "
                "%.1f ms with it (+%.1f %%)\n",
                runs, without, with, (with - without) / without * 100.0);
    return 0;
}

int pages(int copies) {
    Installation inst(1.0);
    const QString ws = QStringLiteral("PAGES");
    // Copies of a work order as asked, one of everything else.
    QFile settings(inst.serverFolder() + QStringLiteral("/Client/Copie.txt"));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write(inst.sharePrintFolder().toLatin1() + "\r\n" + QByteArray::number(copies) +
                   "\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
    settings.close();
    FakeServer server;
    if (!startAgainst(server, inst, ws))
        return 1;
    QList<double> seconds;
    for (int count : {400, 1600}) {
        const double ms = timedRequest(server, inst, QStringLiteral("P%1.001.PRN").arg(count),
                                       odlPages(ws, count), 1200000);
        if (ms < 0) {
            std::printf("%d pages: no \"DEL:\" within 20 minutes\n", count);
            return 1;
        }
        seconds << ms / 1000.0;
        std::printf("DIR to DEL, %4d-page work order, %d copies: %.2f s\n", count, copies,
                    seconds.last());
    }
    std::printf("4 times the pages took %.2f times as long\n", seconds.at(1) / seconds.at(0));
    return 0;
}

long cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    return fields.size() > 15 ? fields.at(13).toLong() + fields.at(14).toLong() : -1;
}

long rssKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

int idle(int seconds) {
    Installation inst(1.0);
    const QString ws = QStringLiteral("IDLE");
    if (!inst.startClient(ws))
        return 1;
    pump(3000);
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"),
                {QStringLiteral("-f"), inst.clientFolder(ws) + QStringLiteral("/VelarixCL")});
    pgrep.waitForFinished();
    const qint64 pid = QString::fromUtf8(pgrep.readAllStandardOutput())
                           .split(QLatin1Char('\n'))
                           .first()
                           .toLongLong();
    const long before = cpuTicks(pid);
    const long rssBefore = rssKiB(pid);
    pump(seconds * 1000);
    const long after = cpuTicks(pid);
    const double cpu = double(after - before) / double(sysconf(_SC_CLK_TCK)) / seconds * 100.0;
    std::printf(
        "client sweeping with no server for %d s: %.2f %% of one core, RSS %ld -> %ld KiB\n",
        seconds, cpu, rssBefore, rssKiB(pid));
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0, QStringLiteral("latency"));
    const int a = args.value(1).toInt();
    const int b = args.value(2).toInt();
    if (mode == QLatin1String("latency"))
        return latency(a > 0 ? a : 100);
    if (mode == QLatin1String("burst"))
        return burst(a > 0 ? a : 500, b > 0 ? b : 5);
    if (mode == QLatin1String("morning"))
        return morning(a > 0 ? a : 5, b > 0 ? b : 10);
    if (mode == QLatin1String("roundtrip"))
        return roundtrip(a > 0 ? a : 50);
    if (mode == QLatin1String("idle"))
        return idle(a > 0 ? a : 30);
    if (mode == QLatin1String("pages"))
        return pages(a);
    if (mode == QLatin1String("archive"))
        return archiveCost(a > 0 ? a : 30, args.value(2));
    std::fprintf(stderr,
                 "usage: bench_endtoend latency|burst|morning|roundtrip|idle|pages|archive [n] "
                 "[workstations | queue]\n");
    return 2;
}
