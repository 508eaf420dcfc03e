#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What a listener on a Modbus RTU line makes of the bytes it hears: frames cut
// at the line's silence, and where chunks run frames together, split where a
// prefix of a plausible length has a right CRC; each frame told as a request or
// a reply, and a reply paired with the request it answers.
namespace monitor {

using Clock = std::chrono::steady_clock;

enum class FrameKind {
    Request,
    Reply,
    Unknown, // no right CRC, or a function code no plausible length is known for
};

// A catalogue command a request is, with the meter types that send it so.
struct CommandMatch {
    std::string_view command;
    std::vector<std::string_view> meterTypes;
};

// An energy read from a reply as the meter types of one encoding decode it.
struct EnergyReading {
    std::string_view command;
    std::string kwh; // "1234.5677"
    std::vector<std::string_view> meterTypes;
};

struct Frame {
    std::size_t number = 0; // 1, 2, ... in the order heard
    std::vector<std::uint8_t> bytes;
    Clock::time_point start; // when its first byte came
    Clock::time_point end;   // when its last byte came
    std::optional<Clock::duration> gap; // since the end of the frame before; none for the first
    bool crcOk = false;
    FrameKind kind = FrameKind::Unknown;
    std::uint8_t slave = 0;
    std::uint8_t function = 0; // as sent, the exception bit included
    // A request: its first register and how many registers (1 for a single write).
    std::optional<std::uint16_t> firstRegister;
    std::optional<std::uint16_t> count;
    std::vector<CommandMatch> commands;
    // A reply: the request it answers (its number), the exception code, the energies.
    std::optional<std::size_t> answers;
    std::optional<std::uint8_t> exception;
    std::vector<EnergyReading> energies;
};

// The catalogue commands whose request frame this is, in the catalogue's order.
std::vector<CommandMatch> MatchCommands(std::span<const std::uint8_t> request);

struct Summary {
    std::size_t frames = 0;
    std::size_t crcErrors = 0;
    std::size_t requests = 0;
    std::size_t paired = 0;     // replies that answered the request before them
    std::size_t unanswered = 0; // requests to one slave that no reply answered
};

// Cuts, tells apart and pairs the frames of one line. Plain C++: the caller
// hands it bytes with the time they came and tells it when the silence is due.
class BusMonitor
{
public:
    // `silence`: how long a quiet line must be for a frame to be over.
    explicit BusMonitor(std::chrono::nanoseconds silence);

    // Bytes that came at `at`; the frames now known to be whole.
    std::vector<Frame> take(std::span<const std::uint8_t> bytes, Clock::time_point at);
    // When the silence after the last byte ends what is pending; none while nothing is.
    std::optional<Clock::time_point> silenceDue() const;
    // The line has been quiet since the last byte: what is pending is cut into frames.
    std::vector<Frame> silence();

    // So far; a request still waiting for its reply counts as unanswered.
    Summary summary() const;

private:
    struct Cut {
        std::size_t length = 0;
        FrameKind kind = FrameKind::Unknown;
    };
    std::optional<Cut> wholeFrameAt(std::size_t position) const;
    std::optional<std::size_t> nextFrameStart() const;
    void deliver(std::size_t length, std::optional<FrameKind> kind, std::vector<Frame>& out);
    void peel(bool atSilence, std::vector<Frame>& out);

    struct Outstanding {
        std::size_t number;
        std::uint8_t slave;
        std::uint8_t function;
        std::vector<CommandMatch> commands;
    };

    std::chrono::nanoseconds m_silence;
    std::vector<std::uint8_t> m_pending;
    std::vector<Clock::time_point> m_times; // one for each pending byte
    std::optional<Clock::time_point> m_lastEnd;
    std::optional<Outstanding> m_outstanding;
    Summary m_summary;
};

} // namespace monitor
