#pragma once

#include "engine/state.h"

#include <cstdint>
#include <span>
#include <string>

// The line discipline of one request: gathering the reply's bytes, the
// silence that ends it, the overflow of the reply buffer and the time-out.
// The window owns the timers and reports; this decides what each event means.
namespace engine {

class ReplyLine
{
public:
    // What was sent, kept so that the reply is judged and reported for it even
    // if the operator changes the lists while it is awaited.
    struct Operation {
        std::string meterType;
        std::string command;
        std::string replyCode;
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

    // A request has been written: its reply is gathered from the first byte.
    void requestSent(OperationState &state, Operation operation);

    // Bytes of one receive event, in order of arrival.
    Chunk received(OperationState &state, std::span<const std::uint8_t> chunk);

    // The silence after the last stored chunk: the reply is complete.
    Verdict silence(OperationState &state) const;

    // No usable reply in time.
    void timedOut(OperationState &state);

    const Operation &operation() const { return m_operation; }

private:
    Operation m_operation;
    bool m_overflowed = false;
};

} // namespace engine
