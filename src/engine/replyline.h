#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The main window's line discipline of one request (its Confirm: 50 ms of
// silence, 1000 ms time-out, a 30-byte buffer): gathering the reply's bytes,
// the silence that ends it, the overflow of the reply buffer and the time-out.
// The other faces end a reply by ReplyAssembler instead.
// The only writer of the outstanding request and of the reply buffer; the
// window owns the timers and reports what each event meant.
namespace engine {

inline constexpr int RxBufferSize = 30;

class ReplyLine
{
public:
    // What was sent, kept so that the reply is judged and reported for it even
    // if the operator changes the lists while it is awaited.
    struct Operation {
        std::string meterType;
        std::string command;
        std::string replyCode;
        std::uint8_t requestAddress = 0;
    };

    enum class Chunk {
        Stored,    // restart the silence timer
        Overflow,  // report the communication error (once per operation)
        Discarded, // nothing to do
    };

    enum class Verdict {
        Stray,    // no request outstanding: the bytes were dropped
        Accepted,
        Rejected,
    };

    // The reply as judged, with the bytes it was judged on.
    struct Judged {
        Verdict verdict = Verdict::Stray;
        std::vector<std::uint8_t> reply;
    };

    // Nothing outstanding, nothing gathered: as at start-up.
    void reset();

    // A request has been written: its reply is gathered from the first byte.
    void requestSent(Operation operation);

    // Bytes of one receive event, in order of arrival. Stored whether or not a
    // request is outstanding; the silence that follows drops stray ones.
    Chunk received(std::span<const std::uint8_t> chunk);

    // The silence after the last stored chunk: the reply is complete. It is
    // judged against the outstanding request, and the exchange ends.
    Judged silence();

    // No usable reply in time: the exchange ends without one.
    void timedOut();

    bool awaitingReply() const { return AwaitingReply == 1; }
    // The bytes gathered so far.
    std::span<const std::uint8_t> gathered() const;
    const Operation &operation() const { return m_operation; }

private:
    Operation m_operation;
    std::uint8_t AwaitingReply = 0;
    // The reply gathered so far; frame offset 0 is the slave address.
    std::array<std::uint8_t, RxBufferSize> RxBuffer{};
    std::int16_t RxCount = 0;
    bool m_overflowed = false;
};

} // namespace engine
