#pragma once

#include "engine/linesettings.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The simulator's end of the serial line, the only place that talks to the
// operating system: a pseudo-terminal it creates, or a device it is given.
namespace sim {

using Clock = std::chrono::steady_clock;
using engine::LineSettings;
using engine::Parity;
using engine::StopBits;

// The speeds the meters of the family and a termios line both know.
bool IsSupportedBaud(int baud);

class SimLine {
public:
    // A new pseudo-terminal; portPath() is the side the tool opens.
    static std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error);
    // A serial device (a real port, or one end of a socat pair).
    static std::unique_ptr<SimLine> OpenDevice(const std::string& path, std::string& error);

    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    const std::string& portPath() const { return m_portPath; }

    // No UART paces a pseudo-terminal, so the simulator spaces the bytes itself.
    bool pacedBySoftware() const { return m_pacedBySoftware; }

    // Speed, parity and stop bits on a device; a pseudo-terminal keeps raw mode only.
    bool apply(const LineSettings& line, std::string& error);

    enum class Wait { Readable, Timeout, Stopped, Failed };
    // Until bytes arrive, the deadline passes (none: no deadline) or a stop signal comes.
    Wait wait(std::optional<Clock::time_point> deadline, std::string& error);

    // Whatever has arrived, without blocking; nullopt when the line failed.
    std::optional<std::vector<std::uint8_t>> readAvailable(std::string& error);

    // Writes without blocking; the number of bytes the line took (fewer when it is full), -1 on failure.
    int write(std::span<const std::uint8_t> bytes, std::string& error);

    // Until the device has sent everything written so far.
    void drain();

private:
    SimLine() = default;

    int m_fd = -1;
    int m_keepOpenFd = -1; // our own hold on the pty's other side, so the tool may come and go
    std::string m_portPath;
    bool m_pacedBySoftware = false;
};

// SIGINT and SIGTERM end the run: they only get through while wait() waits,
// so none can slip in between a check and the wait.
void InstallStopSignals();
bool StopRequested();

} // namespace sim
