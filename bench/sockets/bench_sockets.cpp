#include "socketarray.h"
#include "textcodec.h"
#include "wiremessages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>

#include <benchmark/benchmark.h>

namespace {

QByteArray printRequests(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += TextCodec::encode(Wire::printRequest(
            QStringLiteral("\\\\SERVER\\Velarix\\Stampe\\DOC%1.001.PRN").arg(i)));
    return bytes;
}

// Many messages in one read, as the server's new-file scan may send them.
void framerWholeSegments(benchmark::State& state) {
    const QByteArray bytes = printRequests(int(state.range(0)));
    for (auto _ : state) {
        MessageFramer framer;
        benchmark::DoNotOptimize(framer.feed(bytes));
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(framerWholeSegments)->Arg(1)->Arg(10)->Arg(1000);

// The same stream cut into segments of a given size (1 = a byte at a time).
void framerCutSegments(benchmark::State& state) {
    const QByteArray bytes = printRequests(100);
    const qsizetype segment = state.range(0);
    for (auto _ : state) {
        MessageFramer framer;
        for (qsizetype at = 0; at < bytes.size(); at += segment)
            benchmark::DoNotOptimize(framer.feed(bytes.mid(at, segment)));
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(framerCutSegments)->Arg(1)->Arg(7)->Arg(1460);

// A peer sending junk without a carriage return: the cost of discarding it.
void framerDiscardsJunk(benchmark::State& state) {
    const QByteArray junk(64 * 1024, 'x');
    MessageFramer framer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(framer.feed(junk));
        framer.takeOverflow();
    }
    state.SetBytesProcessed(state.iterations() * junk.size());
}
BENCHMARK(framerDiscardsJunk);

bool waitFor(const std::function<bool()>& done) {
    QDeadlineTimer deadline(5000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// One registration and its version reply between two socket arrays on loopback, events included.
void registrationRoundTrip(benchmark::State& state) {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::AnyIPv4)) {
        state.SkipWithError("no free port");
        return;
    }
    const quint16 port = probe.serverPort();
    probe.close();

    SocketArray server;
    SocketArray client;
    MessageFramer serverFramer;
    MessageFramer clientFramer;
    int replies = 0;
    server.create(1);
    server.setLocalPort(1, port);
    QObject::connect(&server, &SocketArray::connectionRequest, [&](int i, qintptr id) {
        server.close(i);
        server.accept(i, id);
    });
    QObject::connect(&server, &SocketArray::dataArrival, [&](int i, qint64) {
        for (const QString& message : serverFramer.feed(server.readAllBytes(i))) {
            if (Wire::isRegistration(message))
                server.send(i, Wire::versionReply(66));
        }
    });
    QObject::connect(&client, &SocketArray::dataArrival, [&](int i, qint64) {
        replies += int(clientFramer.feed(client.readAllBytes(i)).size());
    });
    if (!server.listen(1).ok()) {
        state.SkipWithError("cannot listen");
        return;
    }
    client.connectToHost(1, QStringLiteral("127.0.0.1"), port);
    if (!waitFor([&] { return client.state(1) == SocketArray::Connected; })) {
        state.SkipWithError("no connection");
        return;
    }

    const QString registration = Wire::registration(QStringLiteral("UFFICIO1"));
    for (auto _ : state) {
        const int expected = replies + 1;
        client.send(1, registration);
        if (!waitFor([&] { return replies >= expected; })) {
            state.SkipWithError("no reply");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(registrationRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
