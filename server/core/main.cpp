// VelarixSrv: the print server. One instance per machine; the window lives in the
// notification area and the timers and socket events drive everything.

#include "italiantranslation.h"
#include "platform/singleinstance.h"
#include "printserver.h"
#include "runtimeenv.h"
#include "serverwindow.h"
#include "widgetprompts.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

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
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(PrintServer::ProgramName);
    installItalianTranslation(app);
    // The window hides in the notification area and settings windows come and go: only closing
    // the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString programFolder = QCoreApplication::applicationDirPath();
    UserPrompts& prompts = WidgetPrompts::forProgram();

    // One server per machine, whichever folder it starts from: a second one would take the
    // first one's free ports. A lock that cannot be taken for another reason (a full disk, a
    // read-only place) is no second server: the server starts and says why.
    SingleInstance instance(SingleInstance::Scope::Machine, PrintServer::ProgramName);
    const Failure lock = instance.claim();
    if (lock.number == ErrorNumber::FileAlreadyOpen) {
        prompts.message(QStringLiteral("Programma già in esecuzione!"));
        return 0;
    }

    PrintServer server(programFolder, prompts, RuntimeEnv::get().basePort);
    ServerWindow window(server, prompts);
    WidgetPrompts::setProgramWindow(&window);
    watchTerminationSignals(server);
    server.startUp();
    if (lock)
        server.log(QStringLiteral("Controllo di istanza unica non riuscito (") + lock.description +
                   QStringLiteral("): il programma parte comunque"));
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
