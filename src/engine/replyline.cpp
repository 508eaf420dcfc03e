#include "engine/replyline.h"

#include "engine/replyvalidation.h"

namespace engine {

void ReplyLine::requestSent(OperationState &state, Operation operation)
{
    m_operation = std::move(operation);
    m_overflowed = false;
    state.RxCount = 0;
    state.AwaitingReply = 1;
}

ReplyLine::Chunk ReplyLine::received(OperationState &state, std::span<const std::uint8_t> chunk)
{
    // After an overflow the rest of the talk is ignored until the next request,
    // so a device that keeps talking is reported once, not once per chunk.
    if (m_overflowed || chunk.empty())
        return Chunk::Discarded;
    for (const auto byte : chunk) {
        if (state.RxCount >= RxBufferSize) {
            m_overflowed = true;
            return Chunk::Overflow;
        }
        state.RxBuffer[static_cast<std::size_t>(state.RxCount)] = byte;
        ++state.RxCount;
    }
    return Chunk::Stored;
}

ReplyLine::Verdict ReplyLine::silence(OperationState &state) const
{
    if (state.AwaitingReply != 1) {
        state.RxCount = 0;
        return Verdict::Stray;
    }
    return ValidateReply(state.RxBuffer, state.RxCount, state.RequestAddress, m_operation.replyCode)
               ? Verdict::Accepted
               : Verdict::Rejected;
}

void ReplyLine::timedOut(OperationState &state)
{
    state.AwaitingReply = 0;
}

} // namespace engine
