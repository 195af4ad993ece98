#include "app/unixsignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace volaro::app {

namespace {
int g_fds[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    // Only async-signal-safe calls here; a full pipe just means a close is already pending.
    [[maybe_unused]] auto n = ::write(g_fds[0], &c, 1);
}
} // namespace

void UnixSignals::catchTermination() {
    if (g_fds[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

UnixSignals::UnixSignals(QObject* parent)
    : QObject(parent) {
    catchTermination();
    if (g_fds[1] < 0)
        return;
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char c;
        bool any = false;
        while (::read(g_fds[1], &c, 1) == 1)
            any = true;
        if (any)
            emit terminationRequested();
    });
}

UnixSignals::~UnixSignals() {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    for (int& fd : g_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace volaro::app
