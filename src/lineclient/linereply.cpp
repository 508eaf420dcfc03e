#include "lineclient/linereply.h"

namespace lineclient {

LineReply::LineReply(std::vector<std::uint8_t> request, std::chrono::milliseconds timeout, bool skipEcho)
    : m_request(std::move(request))
    , m_timeout(timeout)
    , m_skipEcho(skipEcho)
{
}

void LineReply::abort()
{
    if (m_finished)
        return;
    if (m_abort) {
        m_abort(this);
        return;
    }
    serial::ExchangeResult aborted;
    aborted.end = End::Aborted;
    aborted.written = aborted.sent = aborted.ended = serial::Clock::now();
    finish(std::move(aborted));
}

void LineReply::finish(serial::ExchangeResult result)
{
    if (m_finished)
        return;
    m_finished = true;
    m_abort = nullptr;
    m_result = std::move(result);
    emit finished();
}

} // namespace lineclient
