#include "engine/replyline.h"

#include "engine/replyvalidation.h"

namespace engine {

void ReplyLine::reset()
{
    *this = ReplyLine{};
}

void ReplyLine::requestSent(Operation operation)
{
    m_operation = std::move(operation);
    m_overflowed = false;
    RxCount = 0;
    AwaitingReply = 1;
}

ReplyLine::Chunk ReplyLine::received(std::span<const std::uint8_t> chunk)
{
    // After an overflow the rest of the talk is ignored until the next request,
    // so a device that keeps talking is reported once, not once per chunk.
    if (m_overflowed || chunk.empty())
        return Chunk::Discarded;
    for (const auto byte : chunk) {
        if (RxCount >= RxBufferSize) {
            m_overflowed = true;
            return Chunk::Overflow;
        }
        RxBuffer[static_cast<std::size_t>(RxCount)] = byte;
        ++RxCount;
    }
    return Chunk::Stored;
}

ReplyLine::Judged ReplyLine::silence()
{
    Judged judged;
    judged.reply.assign(RxBuffer.begin(), RxBuffer.begin() + RxCount);
    RxCount = 0;
    if (AwaitingReply != 1)
        return judged; // stray bytes, dropped
    AwaitingReply = 0;
    judged.verdict = ValidateReply(judged.reply, static_cast<int>(judged.reply.size()), m_operation.requestAddress,
                                   m_operation.replyCode)
                         ? Verdict::Accepted
                         : Verdict::Rejected;
    return judged;
}

void ReplyLine::timedOut()
{
    AwaitingReply = 0;
}

std::span<const std::uint8_t> ReplyLine::gathered() const
{
    return std::span(RxBuffer).first(static_cast<std::size_t>(RxCount));
}

} // namespace engine
