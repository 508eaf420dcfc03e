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

QString SimProcess::Executable()
{
    const auto buildDir = qEnvironmentVariable("QUORVANE_BUILD_DIR");
    if (!buildDir.isEmpty())
        return buildDir + "/tools/sim/quorvane-sim";
    return QStringLiteral(QUORVANE_SIM_PATH);
}

SimProcess::~SimProcess()
{
    if (m_fd >= 0)
        close(m_fd);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool SimProcess::start(const QStringList& arguments)
{
    m_process.setStandardErrorFile(m_folder.filePath("sim-stderr.log"));
    m_process.start(Executable(), arguments);
    if (!m_process.waitForStarted(10000)) {
        m_error = "cannot start " + Executable() + ": " + m_process.errorString();
        return false;
    }
    const auto deadline = Clock::now() + 10s;
    while (!m_process.canReadLine() && Clock::now() < deadline && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(100);
    const auto line = QString::fromUtf8(m_process.readLine()).trimmed();
    if (!line.startsWith("port: ")) {
        m_error = "no port line from the simulator, got \"" + line + "\"; log: " + logText();
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
    std::size_t done = 0;
    while (done < request.size()) {
        const auto n = write(m_fd, request.data() + done, request.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else {
            pollfd pfd{m_fd, POLLOUT, 0};
            poll(&pfd, 1, 100);
        }
    }
    return Clock::now();
}

namespace {

// Waits for bytes until `until`; appends what came, false when nothing did.
bool readUntil(int fd, Clock::time_point until, std::vector<Arrival>& out)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(std::max<long long>(0, left) + 1)) <= 0)
        return false;
    std::uint8_t chunk[512];
    const auto n = read(fd, chunk, sizeof chunk);
    const auto at = Clock::now();
    for (ssize_t i = 0; i < n; ++i)
        out.push_back({chunk[i], at});
    return n > 0;
}

} // namespace

std::vector<Arrival> SimProcess::receive(std::size_t count, std::chrono::milliseconds deadline)
{
    std::vector<Arrival> arrivals;
    const auto until = Clock::now() + deadline;
    while (arrivals.size() < count && Clock::now() < until)
        readUntil(m_fd, until, arrivals);
    return arrivals;
}

std::vector<Arrival> SimProcess::receiveUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds deadline)
{
    std::vector<Arrival> arrivals;
    const auto until = Clock::now() + deadline;
    while (Clock::now() < until) {
        const auto quietEnd = std::min(until, Clock::now() + quiet);
        if (!readUntil(m_fd, quietEnd, arrivals) && Clock::now() >= quietEnd)
            break;
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
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
