#pragma once

#include "simlink.h"

#include <memory>
#include <string>

// The simulator's end of a serial line: a pseudo-terminal it creates, or a
// device it is given.
namespace sim {

// The speeds the meters of the family and a termios line both know.
bool IsSupportedBaud(int baud);

class SimLine : public SimLink {
public:
    // A new pseudo-terminal; portText() is the side the tool opens.
    static std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error);
    // A serial device (a real port, or one end of a socat pair).
    static std::unique_ptr<SimLine> OpenDevice(const std::string& path, std::string& error);

    ~SimLine() override;
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    std::string portText() const override { return m_portPath; }
    Pacing pacing() const override { return m_onPseudoTerminal ? Pacing::BySimulator : Pacing::ByDevice; }

    // On a pseudo-terminal both ends share one set of termios settings, so
    // what the tool has set shows on ours, parity excepted. A device hears at
    // the settings applied to it.
    std::optional<Hearing> hearing() override;

    // Speed, parity and stop bits: the UART's on a device; on a
    // pseudo-terminal the shared settings a tool finds when it sets none.
    bool apply(const LineSettings& line, std::string& error);

    Wait wait(std::optional<Clock::time_point> deadline, std::string& text) override;
    std::optional<std::vector<std::uint8_t>> readAvailable(std::string& error) override;
    int write(std::span<const std::uint8_t> bytes, std::string& error) override;

    // A further pseudo-terminal that carries both directions of the line, as a
    // third adapter on the bus hears them; what is written to it is thrown away.
    bool openTap(std::string& error);
    std::string tapText() const { return m_tapPath; }
    void overhear(std::span<const std::uint8_t> bytes) override;

private:
    SimLine() = default;

    int m_fd = -1;
    int m_keepOpenFd = -1; // our own hold on the pty's other side, so the tool may come and go
    std::string m_portPath;
    bool m_onPseudoTerminal = false; // ours or one given as a device: no UART, no parity
    bool m_sharedWithTool = false;   // ours: the tool opens its other side and sets what we see
    LineSettings m_applied;
    int m_tapFd = -1;
    int m_tapKeepOpenFd = -1;
    std::string m_tapPath;
};

} // namespace sim
