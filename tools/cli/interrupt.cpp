#include "interrupt.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

// The self-pipe: a signal handler may only write to it.
int wakeFds[2] = {-1, -1};
volatile std::sig_atomic_t caughtSignal = 0;
Interruption *installed = nullptr;

extern "C" void onSignal(int number)
{
    if (caughtSignal == 0)
        caughtSignal = number;
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(wakeFds[1], &byte, 1);
}

} // namespace

Interruption::Interruption()
{
    installed = this;
    if (::pipe(wakeFds) != 0)
        return;
    for (const int fd : wakeFds) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    m_notifier = std::make_unique<QSocketNotifier>(wakeFds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(wakeFds[0], bytes, sizeof bytes) > 0) {
        }
        emit requested(caughtSignal);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGPIPE})
        ::sigaction(number, &action, nullptr);
}

Interruption::~Interruption()
{
    installed = nullptr;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM})
        ::sigaction(number, &action, nullptr);
    // A write to a reader that has gone stays an error to report, not a kill.
    action.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &action, nullptr);
    m_notifier.reset();
    for (int &fd : wakeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

Interruption *Interruption::instance()
{
    return installed;
}

int Interruption::caught()
{
    return caughtSignal;
}

} // namespace cli
