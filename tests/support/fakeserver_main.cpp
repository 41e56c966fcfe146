// VelarixFakeSrv: a one-port print-server stand-in for support work and black-box tests of the
// client. It answers registrations with the version reply, sends one print request per --dir
// path once a workstation has registered, prints every received message on standard output (one
// line each, without its carriage return) and ends when every path has come back as a completion
// (exit 0) or when --timeout seconds have passed (exit 1 if paths are still missing, else 0).

#include "fakeserver.h"
#include "wiremessages.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

namespace {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

QString withoutCr(QString text) {
    if (text.endsWith(QLatin1Char(Wire::CR)))
        text.chop(1);
    return text;
}

struct Options {
    quint16 port = 1500;
    double timeoutSeconds = 60;
    int revision = -1; // the server's own when negative
    QStringList paths;
    bool sequential = false;
};

// Reads the command line into options; 0 when it is usable, else the exit code after a message.
int readOptions(const QCoreApplication& app, Options& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Print-server stand-in: answers registrations, sends print requests and "
                       "prints what the workstation sends back."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (default 1500)."),
                                        QStringLiteral("N"), QStringLiteral("1500"));
    const QCommandLineOption dirOption(
        QStringLiteral("dir"), QStringLiteral("Path to announce with a DIR: message; repeatable."),
        QStringLiteral("PATH"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
                                           QStringLiteral("Seconds before giving up (default 60)."),
                                           QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption revisionOption(QStringLiteral("revision"),
                                            QStringLiteral("Revision sent in the version reply."),
                                            QStringLiteral("N"));
    const QCommandLineOption sequentialOption(
        QStringLiteral("sequential"),
        QStringLiteral("Send the next path only after the previous one came back."));
    parser.addOptions({portOption, dirOption, timeoutOption, revisionOption, sequentialOption});
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        err() << "Invalid --port: " << parser.value(portOption) << Qt::endl;
        return 2;
    }
    options.port = quint16(port);
    options.timeoutSeconds = parser.value(timeoutOption).toDouble(&ok);
    if (!ok || options.timeoutSeconds <= 0) {
        err() << "Invalid --timeout: " << parser.value(timeoutOption) << Qt::endl;
        return 2;
    }
    if (parser.isSet(revisionOption)) {
        options.revision = parser.value(revisionOption).toInt(&ok);
        if (!ok || options.revision < 0) {
            err() << "Invalid --revision: " << parser.value(revisionOption) << Qt::endl;
            return 2;
        }
    }
    options.paths = parser.values(dirOption);
    options.sequential = parser.isSet(sequentialOption);
    return 0;
}

// Sends the paths still outstanding after each registration (a workstation that reconnects gets
// what it still owes), prints what arrives, and ends the program once every path came back.
void serveRequests(FakeServer& server, const Options& options, QStringList& outstanding) {
    const quint16 port = options.port;
    const bool sequential = options.sequential;
    auto sendRequests = [&server, &outstanding, sequential] {
        for (const QString& path : std::as_const(outstanding)) {
            server.sendPrintRequest(path);
            if (sequential)
                break;
        }
    };
    QObject::connect(&server, &FakeServer::clientConnected,
                     [port] { err() << "Workstation connected on port " << port << Qt::endl; });
    QObject::connect(&server, &FakeServer::clientDisconnected,
                     [] { err() << "Workstation disconnected" << Qt::endl; });
    QObject::connect(&server, &FakeServer::messageReceived,
                     [](const QString& message) { out() << withoutCr(message) << Qt::endl; });
    QObject::connect(&server, &FakeServer::registered, sendRequests);
    QObject::connect(&server, &FakeServer::completionReceived,
                     [&server, &outstanding, sequential](const QString& path) {
                         if (!outstanding.removeOne(path))
                             return;
                         if (outstanding.isEmpty()) {
                             // Let the last bytes of the workstation's side settle before leaving.
                             QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
                         } else if (sequential) {
                             server.sendPrintRequest(outstanding.first());
                         }
                     });
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VelarixFakeSrv"));
    Options options;
    if (const int exitCode = readOptions(app, options))
        return exitCode;

    FakeServer server;
    if (options.revision >= 0)
        server.setRevision(options.revision);
    QStringList outstanding = options.paths;
    serveRequests(server, options, outstanding);

    if (!server.listen(options.port)) {
        err() << "Cannot listen on port " << options.port << Qt::endl;
        return 3;
    }
    err() << "Listening on port " << options.port << Qt::endl;

    QTimer::singleShot(qRound(options.timeoutSeconds * 1000), &app, [&outstanding] {
        for (const QString& path : std::as_const(outstanding))
            err() << "No completion for " << path << Qt::endl;
        QCoreApplication::exit(outstanding.isEmpty() ? 0 : 1);
    });
    return app.exec();
}
