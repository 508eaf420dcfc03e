#include "simprocess.h"

#include <QFile>
#include <QUrl>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedOf(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

} // namespace

std::vector<std::uint8_t> BytesOf(const std::vector<Arrival>& arrivals)
{
    std::vector<std::uint8_t> bytes;
    for (const auto& a : arrivals)
        bytes.push_back(a.byte);
    return bytes;
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start(const QStringList& arguments, const QString& toolPort)
{
    m_process.setStandardErrorFile(m_folder.filePath("sim-stderr.log"));
    m_process.start(Executable(), arguments);
    const auto deadline = Clock::now() + 10s;
    while (!m_process.canReadLine() && Clock::now() < deadline && m_process.state() != QProcess::NotRunning)
        m_process.waitForReadyRead(100);
    const auto line = QString::fromUtf8(m_process.readLine()).trimmed();
    if (!line.startsWith("port: ")) {
        m_error = "no port line from " + Executable() + ", got \"" + line + "\"; log: " + logText();
        return false;
    }
    m_port = line.mid(6);
    if (m_port.contains("://"))
        return reconnect();
    const auto path = toolPort.isEmpty() ? m_port : toolPort;
    m_fd = open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        m_error = "cannot open " + path;
        return false;
    }
    termios tio{};
    tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_fd, TCSANOW, &tio);
    return true;
}

bool SimProcess::setLine(const engine::LineSettings& settings)
{
    termios tio{};
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0 || speedOf(settings.baud) == B0)
        return false;
    cfsetspeed(&tio, speedOf(settings.baud));
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CSTOPB);
    if (settings.parity != engine::Parity::None)
        tio.c_cflag |= PARENB;
    if (settings.parity == engine::Parity::Odd)
        tio.c_cflag |= PARODD;
    if (settings.stopBits == engine::StopBits::Two)
        tio.c_cflag |= CSTOPB;
    // On a pty the kernel drops PARENB, and glibc may then report EINVAL although the
    // rest was applied: what counts is what the line now holds.
    tcsetattr(m_fd, TCSANOW, &tio);
    termios now{};
    return tcgetattr(m_fd, &now) == 0 && cfgetospeed(&now) == speedOf(settings.baud)
           && (now.c_cflag & CSTOPB) == (tio.c_cflag & CSTOPB);
}

void SimProcess::releasePort()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool SimProcess::reconnect()
{
    const QUrl url(m_port);
    m_socket.abort();
    m_socket.connectToHost(url.host(), static_cast<quint16>(url.port()));
    if (!m_socket.waitForConnected(5000)) {
        m_error = "cannot connect to " + m_port + ": " + m_socket.errorString();
        return false;
    }
    return true;
}

Clock::time_point SimProcess::send(const std::vector<std::uint8_t>& request)
{
    const auto started = Clock::now();
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        m_socket.write(reinterpret_cast<const char*>(request.data()), static_cast<qint64>(request.size()));
        while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(2000)) {
        }
        return started;
    }
    const auto until = started + 2s;
    std::size_t done = 0;
    while (m_fd >= 0 && done < request.size() && Clock::now() < until) {
        const auto n = write(m_fd, request.data() + done, request.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd pfd{m_fd, POLLOUT, 0};
            poll(&pfd, 1, 100);
        }
    }
    return started;
}

std::vector<Arrival> SimProcess::receive(std::size_t count, std::chrono::milliseconds deadline)
{
    std::vector<Arrival> arrivals;
    const auto until = Clock::now() + deadline;
    for (auto now = Clock::now(); arrivals.size() < count && now < until; now = Clock::now()) {
        const int leftMs = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(until - now).count());
        std::uint8_t chunk[512];
        qint64 n = 0;
        if (m_socket.state() == QAbstractSocket::ConnectedState) {
            if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(leftMs))
                continue;
            n = m_socket.read(reinterpret_cast<char*>(chunk), static_cast<qint64>(std::min(sizeof chunk, count - arrivals.size())));
        } else {
            if (m_fd < 0)
                break;
            pollfd pfd{m_fd, POLLIN, 0};
            if (poll(&pfd, 1, leftMs) <= 0)
                continue;
            n = read(m_fd, chunk, std::min(sizeof chunk, count - arrivals.size()));
        }
        const auto at = Clock::now();
        for (qint64 i = 0; i < n; ++i)
            arrivals.push_back({chunk[i], at});
    }
    return arrivals;
}

int SimProcess::stop()
{
    releasePort();
    m_socket.abort();
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString SimProcess::logText() const
{
    QFile file(m_folder.filePath("sim-stderr.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
