#include "simline.h"

#include "serial/pseudoterminal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// Raw bytes both ways: no echo, no CR/LF translation, no flow control.
bool makeRaw(int fd, std::string& error)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        error = detail::SystemError("tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = detail::SystemError("tcsetattr");
        return false;
    }
    return true;
}

struct Speed {
    int baud;
    speed_t code;
};
// Wider than the meters' speeds, so that whatever a tool sets shows in the log.
constexpr std::array<Speed, 12> Speeds = {{
    {300, B300}, {600, B600}, {1200, B1200}, {2400, B2400}, {4800, B4800}, {9600, B9600}, {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
}};

speed_t speedOf(int baud)
{
    for (const auto& speed : Speeds)
        if (speed.baud == baud)
            return speed.code;
    return B9600;
}

// 0 for a speed outside the table: no meter runs at it.
int baudOf(speed_t code)
{
    for (const auto& speed : Speeds)
        if (speed.code == code)
            return speed.baud;
    return 0;
}

// A raw pseudo-terminal: our side in `fd`, the other side held open in
// `keepOpenFd` (no hang-up between its users' opens, and the raw mode kept).
bool openRawPty(int& fd, int& keepOpenFd, std::string& path, std::string& error)
{
    fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = detail::SystemError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
        error = detail::SystemError("pseudo-terminal set-up");
        return false;
    }
    path = name;
    keepOpenFd = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (keepOpenFd < 0) {
        error = detail::SystemError(std::string("open ") + name);
        return false;
    }
    return makeRaw(keepOpenFd, error) && makeRaw(fd, error);
}

void drain(int fd)
{
    std::uint8_t chunk[512];
    while (read(fd, chunk, sizeof chunk) > 0) {
    }
}

} // namespace

bool IsSupportedBaud(int baud)
{
    constexpr std::array<int, 8> speeds = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return std::find(speeds.begin(), speeds.end(), baud) != speeds.end();
}

std::unique_ptr<SimLine> SimLine::OpenPseudoTerminal(std::string& error)
{
    std::unique_ptr<SimLine> line(new SimLine);
    line->m_onPseudoTerminal = true;
    line->m_sharedWithTool = true;
    // Holding the other side open keeps the pty alive between the tool's opens.
    if (!openRawPty(line->m_fd, line->m_keepOpenFd, line->m_portPath, error))
        return nullptr;
    return line;
}

std::unique_ptr<SimLine> SimLine::OpenDevice(const std::string& path, std::string& error)
{
    std::unique_ptr<SimLine> line(new SimLine);
    line->m_portPath = path;
    line->m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line->m_fd < 0) {
        error = detail::SystemError("open " + path);
        return nullptr;
    }
    if (!isatty(line->m_fd)) {
        error = path + " is not a serial device";
        return nullptr;
    }
    line->m_onPseudoTerminal = serial::isPseudoTerminal(line->m_fd);
    if (!makeRaw(line->m_fd, error))
        return nullptr;
    return line;
}

SimLine::~SimLine()
{
    if (m_tapKeepOpenFd >= 0)
        close(m_tapKeepOpenFd);
    if (m_tapFd >= 0)
        close(m_tapFd);
    if (m_keepOpenFd >= 0)
        close(m_keepOpenFd);
    if (m_fd >= 0)
        close(m_fd);
}

bool SimLine::apply(const LineSettings& settings, std::string& error)
{
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        error = detail::SystemError("tcgetattr");
        return false;
    }
    cfsetispeed(&tio, speedOf(settings.baud));
    cfsetospeed(&tio, speedOf(settings.baud));
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CSTOPB | CSIZE);
    tio.c_cflag |= CS8;
    // A pty keeps no parity bit, and glibc reports EINVAL for one it asked for
    // and did not get unless the speed changed in the same call.
    if (settings.parity != Parity::None && !m_onPseudoTerminal)
        tio.c_cflag |= PARENB;
    if (settings.parity == Parity::Odd && !m_onPseudoTerminal)
        tio.c_cflag |= PARODD;
    if (settings.stopBits == StopBits::Two)
        tio.c_cflag |= CSTOPB;
    if (tcsetattr(m_fd, TCSADRAIN, &tio) != 0) {
        error = detail::SystemError("tcsetattr");
        return false;
    }
    m_applied = settings;
    return true;
}

std::optional<Hearing> SimLine::hearing()
{
    if (!m_sharedWithTool)
        return Hearing{m_applied, true};
    // The master's tcgetattr reads the settings of the side the tool opened.
    // The kernel clears PARENB there, so parity is not to be had.
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0)
        return Hearing{m_applied, false};
    LineSettings heard;
    heard.baud = baudOf(cfgetospeed(&tio));
    heard.stopBits = tio.c_cflag & CSTOPB ? StopBits::Two : StopBits::One;
    const auto size = tio.c_cflag & CSIZE;
    heard.dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    heard.parity = Parity::None;
    return Hearing{heard, false};
}

SimLink::Wait SimLine::wait(std::optional<Clock::time_point> deadline, std::string& text)
{
    if (StopRequested())
        return Wait::Stopped;
    std::array<pollfd, 2> fds{{{m_fd, POLLIN, 0}, {m_tapFd, POLLIN, 0}}};
    const int n = detail::WaitForInput(fds.data(), m_tapFd >= 0 ? 2 : 1, deadline);
    const auto& pfd = fds[0];
    if (n < 0) {
        if (errno == EINTR)
            return StopRequested() ? Wait::Stopped : Wait::Timeout;
        text = detail::SystemError("ppoll");
        return Wait::Failed;
    }
    if (n == 0)
        return Wait::Timeout;
    // The tap only listens: what its user writes goes nowhere.
    if (fds[1].revents & POLLIN)
        drain(m_tapFd);
    if (pfd.revents == 0)
        return Wait::Timeout;
    if (pfd.revents & (POLLERR | POLLNVAL)) {
        text = "the line reported an error";
        return Wait::Failed;
    }
    if (pfd.revents & POLLHUP && !(pfd.revents & POLLIN)) {
        text = "the line hung up";
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
            error = detail::SystemError("read");
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
        error = detail::SystemError("write");
        return -1;
    }
    return static_cast<int>(done);
}

bool SimLine::openTap(std::string& error)
{
    return openRawPty(m_tapFd, m_tapKeepOpenFd, m_tapPath, error);
}

void SimLine::overhear(std::span<const std::uint8_t> bytes)
{
    // A listener that does not keep up loses what does not fit, as a slow
    // adapter's receiver would; the line itself is never held up by it.
    if (m_tapFd >= 0 && !bytes.empty()) {
        const auto n = ::write(m_tapFd, bytes.data(), bytes.size());
        (void)n;
    }
}

} // namespace sim
