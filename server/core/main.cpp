// VelarixSrv: the print server. One instance per machine; the window lives in the
// notification area and the timers and socket events drive everything.
//
// "VelarixSrv --service [--folder DIR]" is how the service manager starts it: no window, no
// message box (prompts go to standard error, which the journal keeps), no start at log-on, and
// DIR (default: the program's own folder) as the server folder. The service manager publishes
// that folder as the share, as root, before the start (velarix-admin share).

#include "adminchannel.h"
#include "italiantranslation.h"
#include "platform/singleinstance.h"
#include "printserver.h"
#include "runtimeenv.h"
#include "serverwindow.h"
#include "userprompts.h"
#include "website.h"
#include "widgetprompts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: wake the event loop.
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT shut the server down the normal way, so the shutdown lines reach the log.
void watchTerminationSignals(PrintServer& server) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &server);
    QObject::connect(notifier, &QSocketNotifier::activated, &server, [&server, notifier] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
        notifier->setEnabled(false);
        server.shutDown();
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// One server per machine, whichever folder it starts from: a second one would take the first
// one's free ports. A lock that cannot be taken for another reason (a full disk, a read-only
// place) is no second server: the server starts and says why.
void reportLockFailure(PrintServer& server, const Failure& lock) {
    if (lock)
        server.log(QStringLiteral("Controllo di istanza unica non riuscito (") + lock.description +
                   QStringLiteral("): il programma parte comunque"));
}

// The admin command reaches either kind of server the same way.
void answerAdminCommand(PrintServer& server, AdminChannel& channel) {
    if (Failure failure = channel.listen())
        server.log(QStringLiteral("Comandi di amministrazione non disponibili: ") +
                   failure.description);
}
// The web page answers in either kind of server, from the start on.
void openWebPage(WebSite& site) {
    site.start(quint16(RuntimeEnv::get().webPort));
}

// The desktop server: the window, message boxes, start at log-on on the first start.
int runWithWindow(const QString& programFolder) {
    UserPrompts& prompts = WidgetPrompts::forProgram();
    SingleInstance instance(SingleInstance::Scope::Machine, PrintServer::ProgramName);
    const Failure lock = instance.claim();
    if (lock.number == ErrorNumber::FileAlreadyOpen) {
        prompts.message(QStringLiteral("Programma già in esecuzione!"));
        return 0;
    }

    PrintServer server(programFolder, prompts, RuntimeEnv::get().basePort);
    ServerWindow window(server, prompts);
    WidgetPrompts::setProgramWindow(&window);
    AdminChannel channel(server);
    WebSite site(server);
    watchTerminationSignals(server);
    server.startUp();
    reportLockFailure(server, lock);
    answerAdminCommand(server, channel);
    openWebPage(site);
    if (server.hasShutDown()) {
        // Told to stop while the start-up still waited on the copies window.
        server.terminate();
        return 0;
    }
    window.show();
    // Offscreen and some desktops never activate the window: open the ports all the same.
    QTimer::singleShot(0, &server, &PrintServer::openPorts);

    const int result = QApplication::exec();
    server.shutDown();
    server.terminate();
    return result; // the window removes its notification-area icon as it goes
}

// The service: the same server without a window. A second instance fails, so the service manager
// shows why it did not start.
int runAsService(const QString& serverFolder) {
    UnattendedPrompts prompts;
    SingleInstance instance(SingleInstance::Scope::Machine, PrintServer::ProgramName);
    const Failure lock = instance.claim();
    if (lock.number == ErrorNumber::FileAlreadyOpen) {
        prompts.message(QStringLiteral("Programma già in esecuzione!"), QString(), {});
        return 1;
    }
    PrintServer server(serverFolder, prompts, RuntimeEnv::get().basePort);
    server.setRunsAsService(true);
    AdminChannel channel(server);
    WebSite site(server);
    watchTerminationSignals(server);
    server.startUp();
    reportLockFailure(server, lock);
    answerAdminCommand(server, channel);
    openWebPage(site);
    server.openPorts();
    const int result = QCoreApplication::exec();
    server.shutDown();
    server.terminate();
    return result;
}

bool wantsService(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--service") == 0)
            return true;
    return false;
}
} // namespace

int main(int argc, char* argv[]) {
    // A service has no display: it must not need one, so it gets no GUI application at all.
    const bool service = wantsService(argc, argv);
    std::unique_ptr<QCoreApplication> app(service ? new QCoreApplication(argc, argv)
                                                  : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(PrintServer::ProgramName);
    installItalianTranslation(*app);

    QCommandLineParser parser;
    const QCommandLineOption serviceOption(QStringLiteral("service"),
                                           QStringLiteral("run without a window, as a service"));
    const QCommandLineOption folderOption(
        QStringLiteral("folder"), QStringLiteral("server folder (default: the program's folder)"),
        QStringLiteral("dir"));
    parser.addOptions({serviceOption, folderOption});
    parser.addHelpOption();
    parser.process(*app);

    const QString folder = parser.isSet(folderOption)
                               ? QDir(parser.value(folderOption)).absolutePath()
                               : QCoreApplication::applicationDirPath();
    if (service)
        return runAsService(folder);
    // The window hides in the notification area and settings windows come and go: only closing
    // the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    return runWithWindow(folder);
}
