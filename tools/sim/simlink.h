#pragma once

#include "codec/gatewayaddress.h"
#include "engine/linesettings.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct pollfd;

namespace sim {

using Clock = std::chrono::steady_clock;
using engine::LineSettings;
using engine::Parity;
using engine::StopBits;

// What the simulator can tell of the settings a request was sent at.
struct Hearing {
    LineSettings settings;
    bool parityVisible = true; // false on a pseudo-terminal: the kernel keeps no parity there
};

// Whether a meter set to `meter` makes out a request sent at what was heard.
bool Hears(const Hearing& hearing, const LineSettings& meter);

// "9600 8E1", or "9600 8?1" where the parity cannot be seen.
std::string HearingText(const Hearing& hearing);

// How requests and replies are framed: RTU frames (address and CRC
// included), on a serial line or a TCP stream; or Modbus TCP's MBAP header.
using codec::GatewayFraming;

// How the bytes of a reply get their spacing in time.
enum class Pacing {
    BySimulator, // a pseudo-terminal: nothing paces it, so the simulator spaces the bytes itself
    ByDevice,    // a UART sends at its own speed
    None,        // TCP: a gateway's serial side is not simulated
};

// The simulator's end of what connects it to the tool: a serial line or a
// TCP listener. Its implementations are the only code that talks to the system.
class SimLink {
public:
    virtual ~SimLink() = default;

    // What the first output line names after "port: ".
    virtual std::string portText() const = 0;
    virtual Pacing pacing() const = 0;

    // The settings a request that arrives now was sent at; nullopt where
    // there are none to match (TCP: every meter answers).
    virtual std::optional<Hearing> hearing() = 0;

    enum class Wait {
        Readable,
        Timeout,
        Stopped,
        Failed,
        NewPeer, // a client came, went or was replaced: nothing pending belongs to it any more
    };
    // Until bytes arrive, the deadline passes (none: no deadline) or a stop
    // signal comes; `text` gives the reason on Failed and what happened on NewPeer.
    virtual Wait wait(std::optional<Clock::time_point> deadline, std::string& text) = 0;

    // Whatever has arrived, without blocking; nullopt when the link failed.
    virtual std::optional<std::vector<std::uint8_t>> readAvailable(std::string& error) = 0;

    // Writes without blocking; the number of bytes the link took (fewer when
    // it is full or nobody listens), -1 on failure.
    virtual int write(std::span<const std::uint8_t> bytes, std::string& error) = 0;

    // Bytes that are on the line now, either way, for a listener that only
    // overhears it; a link without one lets them go.
    virtual void overhear(std::span<const std::uint8_t> bytes) { (void)bytes; }
};

// SIGINT and SIGTERM end the run: they only get through while a link waits,
// so none can slip in between a check and the wait.
void InstallStopSignals();
bool StopRequested();

namespace detail {
// "what: " and the text of errno.
std::string SystemError(const std::string& what);
// ppoll on the descriptors with only the stop signals let through; what ppoll returns.
int WaitForInput(::pollfd* fds, std::size_t count, std::optional<Clock::time_point> deadline);
} // namespace detail

} // namespace sim
