#include "simprocess.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

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

bool SimProcess::start(const QStringList& arguments)
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
    m_fd = open(m_port.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        m_error = "cannot open " + m_port;
        return false;
    }
    termios tio{};
    tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_fd, TCSANOW, &tio);
    return true;
}

Clock::time_point SimProcess::send(const std::vector<std::uint8_t>& request)
{
    const auto until = Clock::now() + 2s;
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
    return Clock::now();
}

std::vector<Arrival> SimProcess::receive(std::size_t count, std::chrono::milliseconds deadline)
{
    std::vector<Arrival> arrivals;
    const auto until = Clock::now() + deadline;
    for (auto now = Clock::now(); arrivals.size() < count && now < until; now = Clock::now()) {
        pollfd pfd{m_fd, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(until - now).count())) <= 0)
            continue;
        std::uint8_t chunk[512];
        const auto n = read(m_fd, chunk, std::min(sizeof chunk, count - arrivals.size()));
        const auto at = Clock::now();
        for (ssize_t i = 0; i < n; ++i)
            arrivals.push_back({chunk[i], at});
    }
    return arrivals;
}

int SimProcess::stop()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
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
