#include "simline.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

volatile std::sig_atomic_t g_stop = 0;
sigset_t g_waitMask; // the mask during ppoll: stop signals let through

void onStopSignal(int)
{
    g_stop = 1;
}

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// Raw bytes both ways: no echo, no CR/LF translation, no flow control.
bool makeRaw(int fd, std::string& error)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        error = systemError("tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = systemError("tcsetattr");
        return false;
    }
    return true;
}

speed_t speedOf(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

// Unix98 pseudo-terminal slaves have majors 136..143.
bool isPseudoTerminal(int fd)
{
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const auto m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

} // namespace

bool IsSupportedBaud(int baud)
{
    constexpr std::array<int, 8> speeds = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return std::find(speeds.begin(), speeds.end(), baud) != speeds.end();
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

std::unique_ptr<SimLine> SimLine::OpenPseudoTerminal(std::string& error)
{
    std::unique_ptr<SimLine> line(new SimLine);
    line->m_pacedBySoftware = true;
    line->m_fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line->m_fd < 0) {
        error = systemError("posix_openpt");
        return nullptr;
    }
    char name[128] = {};
    if (grantpt(line->m_fd) != 0 || unlockpt(line->m_fd) != 0 || ptsname_r(line->m_fd, name, sizeof name) != 0) {
        error = systemError("pseudo-terminal set-up");
        return nullptr;
    }
    line->m_portPath = name;
    // Holding the other side open keeps the pty alive between the tool's opens
    // (no hang-up on our side) and keeps the raw mode set here.
    line->m_keepOpenFd = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line->m_keepOpenFd < 0) {
        error = systemError(std::string("open ") + name);
        return nullptr;
    }
    if (!makeRaw(line->m_keepOpenFd, error) || !makeRaw(line->m_fd, error))
        return nullptr;
    return line;
}

std::unique_ptr<SimLine> SimLine::OpenDevice(const std::string& path, std::string& error)
{
    std::unique_ptr<SimLine> line(new SimLine);
    line->m_portPath = path;
    line->m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line->m_fd < 0) {
        error = systemError("open " + path);
        return nullptr;
    }
    if (!isatty(line->m_fd)) {
        error = path + " is not a serial device";
        return nullptr;
    }
    line->m_pacedBySoftware = isPseudoTerminal(line->m_fd);
    if (!makeRaw(line->m_fd, error))
        return nullptr;
    return line;
}

SimLine::~SimLine()
{
    if (m_keepOpenFd >= 0)
        close(m_keepOpenFd);
    if (m_fd >= 0)
        close(m_fd);
}

bool SimLine::apply(const LineSettings& settings, std::string& error)
{
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        error = systemError("tcgetattr");
        return false;
    }
    cfsetispeed(&tio, speedOf(settings.baud));
    cfsetospeed(&tio, speedOf(settings.baud));
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CSTOPB | CSIZE);
    tio.c_cflag |= CS8;
    if (settings.parity != Parity::None)
        tio.c_cflag |= PARENB;
    if (settings.parity == Parity::Odd)
        tio.c_cflag |= PARODD;
    if (settings.stopBits == StopBits::Two)
        tio.c_cflag |= CSTOPB;
    if (tcsetattr(m_fd, TCSADRAIN, &tio) != 0) {
        error = systemError("tcsetattr");
        return false;
    }
    return true;
}

SimLine::Wait SimLine::wait(std::optional<Clock::time_point> deadline, std::string& error)
{
    if (g_stop)
        return Wait::Stopped;
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (deadline) {
        const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        timeoutPtr = &timeout;
    }
    pollfd pfd{m_fd, POLLIN, 0};
    const int n = ppoll(&pfd, 1, timeoutPtr, &g_waitMask);
    if (n < 0) {
        if (errno == EINTR)
            return g_stop ? Wait::Stopped : Wait::Timeout;
        error = systemError("ppoll");
        return Wait::Failed;
    }
    if (n == 0)
        return Wait::Timeout;
    if (pfd.revents & (POLLERR | POLLNVAL)) {
        error = "the line reported an error";
        return Wait::Failed;
    }
    if (pfd.revents & POLLHUP && !(pfd.revents & POLLIN)) {
        error = "the line hung up";
        return Wait::Failed;
    }
    return Wait::Readable;
}

std::optional<std::vector<std::uint8_t>> SimLine::readAvailable(std::string& error)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[512];
    for (;;) {
        const auto n = read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            error = systemError("read");
            return std::nullopt;
        }
        return bytes;
    }
}

int SimLine::write(std::span<const std::uint8_t> bytes, std::string& error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        error = systemError("write");
        return -1;
    }
    return static_cast<int>(done);
}

void SimLine::drain()
{
    if (!m_pacedBySoftware)
        tcdrain(m_fd);
}

} // namespace sim
