#include "quitonsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_fds[2] = {-1, -1};

void handler(int) {
    const char byte = 1;
    [[maybe_unused]] auto written = ::write(g_fds[0], &byte, 1);
}
} // namespace

void installQuitOnSignal(std::function<void()> onSignal) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp,
                     [notifier, onSignal = std::move(onSignal)] {
                         char byte;
                         [[maybe_unused]] auto got = ::read(g_fds[1], &byte, 1);
                         notifier->setEnabled(false);
                         onSignal();
                     });
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
