#pragma once

#include "engine/linesettings.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// One byte as it came off the line, with the moment the test saw it.
struct Arrival {
    std::uint8_t byte = 0;
    Clock::time_point at;
};

std::vector<std::uint8_t> BytesOf(const std::vector<Arrival>& arrivals);

// A running quorvane-sim whose port the test has opened: its pseudo-terminal
// (raw, through termios), another tty standing for it, or its TCP listener
// (through a QTcpSocket). The simulator's log goes to a file in a temporary folder.
class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator and opens the port it prints, or `toolPort` in its
    // place; false with the reason in error().
    bool start(const QStringList& arguments, const QString& toolPort = {});
    // Sets the tool's side of a tty as the tool would.
    bool setLine(const engine::LineSettings& settings);
    // Lets go of the tty, for a test that opens it in its own way.
    void releasePort();
    // A new TCP connection to the listener in place of the old one.
    bool reconnect();
    // Writes a request and returns the moment before its first byte went: nothing
    // the request causes can come sooner, however late this process runs.
    Clock::time_point send(const std::vector<std::uint8_t>& request);
    // Bytes until `count` have come or the deadline has passed.
    std::vector<Arrival> receive(std::size_t count, std::chrono::milliseconds deadline);
    // SIGTERM and wait; the exit code, or -1 if it did not end normally in time.
    int stop();

    QString port() const { return m_port; }
    QString error() const { return m_error; }
    QString logText() const;
    QTcpSocket& socket() { return m_socket; }

    static QString Executable() { return QStringLiteral(QUORVANE_SIM_PATH); }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QString m_port;
    QString m_error;
    int m_fd = -1;
    QTcpSocket m_socket;
};
