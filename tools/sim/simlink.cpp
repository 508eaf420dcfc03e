#include "simlink.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>

namespace sim {

namespace {

volatile std::sig_atomic_t g_stop = 0;
sigset_t g_waitMask; // the mask during ppoll: stop signals let through

void onStopSignal(int)
{
    g_stop = 1;
}

} // namespace

bool Hears(const Hearing& hearing, const LineSettings& meter)
{
    const auto& heard = hearing.settings;
    return heard.baud == meter.baud && heard.dataBits == meter.dataBits && heard.stopBits == meter.stopBits
           && (!hearing.parityVisible || heard.parity == meter.parity);
}

std::string HearingText(const Hearing& hearing)
{
    auto text = engine::ShortText(hearing.settings);
    if (!hearing.parityVisible)
        text[text.find(' ') + 2] = '?'; // the parity letter of "9600 8N1"
    return text;
}

void InstallStopSignals()
{
    struct sigaction action{};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &g_waitMask);
    sigdelset(&g_waitMask, SIGINT);
    sigdelset(&g_waitMask, SIGTERM);
}

bool StopRequested()
{
    return g_stop != 0;
}

namespace detail {

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

int WaitForInput(::pollfd* fds, std::size_t count, std::optional<Clock::time_point> deadline)
{
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (deadline) {
        const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        timeoutPtr = &timeout;
    }
    return ppoll(fds, static_cast<nfds_t>(count), timeoutPtr, &g_waitMask);
}

} // namespace detail

} // namespace sim
