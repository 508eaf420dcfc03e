#pragma once

#include "serial/exchangeresult.h"

#include <QObject>

#include <functional>

namespace lineclient {

// One request sent through a LineClient, in the shape of Qt's own request
// replies: it finishes once, with the result, and can be aborted before.
// The sender owns it (deleteLater() once finished is the usual end).
class LineReply : public QObject
{
    Q_OBJECT
public:
    using End = serial::ExchangeResult::End;

    bool isFinished() const { return m_finished; }
    const serial::ExchangeResult &result() const { return m_result; }
    End end() const { return m_result.end; }
    const std::vector<std::uint8_t> &request() const { return m_request; }

    // Ends it as Aborted, whether it waits in the queue or is on the line.
    void abort();

signals:
    void finished();

private:
    friend class LineClient;
    explicit LineReply(std::vector<std::uint8_t> request, std::chrono::milliseconds timeout, bool skipEcho);
    void finish(serial::ExchangeResult result);

    std::vector<std::uint8_t> m_request;
    std::chrono::milliseconds m_timeout;
    bool m_skipEcho;
    bool m_finished = false;
    serial::ExchangeResult m_result;
    std::function<void(LineReply *)> m_abort; // set by the client while it holds the reply
};

} // namespace lineclient
