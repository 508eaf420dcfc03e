#include "serial/exchange.h"

#include "engine/replyend.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace serial {

namespace {

// QTimer counts whole milliseconds: round up, so a silence is never cut short.
std::chrono::milliseconds wholeMillis(std::chrono::nanoseconds d)
{
    return std::chrono::ceil<std::chrono::milliseconds>(std::max(d, std::chrono::nanoseconds::zero()));
}

constexpr std::chrono::milliseconds UnpacedSilence{20};
// How much sooner than the time-out its timer is set, to be woken in time.
constexpr std::chrono::milliseconds TimerEarly{1};

} // namespace

Exchanger::Exchanger(SerialLine &line)
    : m_line(line)
{
}

ExchangeResult Exchanger::exchange(std::span<const std::uint8_t> request, std::chrono::milliseconds timeout, bool skipEcho)
{
    using End = ExchangeResult::End;
    ExchangeResult result;

    // The Modbus silence on a line a UART paces. What comes over a pseudo-terminal
    // or a network is written by software or carried in segments, and arrives in
    // bursts whose gaps say nothing of the far end's line: there a silence must
    // be longer to mean the reply is over.
    const auto frameSilence = engine::FrameSilence(m_settings);
    const auto silenceTime = m_line.pacedByLine() ? frameSilence : std::max<std::chrono::nanoseconds>(frameSilence, UnpacedSilence);
    std::vector<std::uint8_t> gathered;
    bool echoPending = skipEcho;
    QEventLoop loop;
    QTimer silence;
    QTimer limit;
    for (QTimer *timer : {&silence, &limit}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    bool done = false;
    const auto finish = [&](End end) {
        done = true;
        result.end = end;
        result.ended = Clock::now();
        silence.stop();
        limit.stop();
        loop.quit();
    };
    const auto take = [&] {
        const QByteArray chunk = m_line.readAll();
        if (chunk.isEmpty())
            return;
        result.lastByte = Clock::now();
        gathered.insert(gathered.end(), chunk.begin(), chunk.end());
        if (echoPending) {
            const std::size_t n = std::min(gathered.size(), request.size());
            if (!std::equal(gathered.begin(), gathered.begin() + static_cast<std::ptrdiff_t>(n), request.begin())) {
                echoPending = false; // what came is not the request: no echo on this line
            } else if (gathered.size() < request.size()) {
                return; // the echo is still coming
            } else {
                result.echo.assign(request.begin(), request.end());
                gathered.erase(gathered.begin(), gathered.begin() + static_cast<std::ptrdiff_t>(request.size()));
                echoPending = false;
            }
        }
        if (engine::ReplyComplete(gathered)) {
            const std::size_t length = *engine::ExpectedReplyLength(gathered);
            result.trailing = gathered.size() - length;
            gathered.resize(length);
            finish(End::Complete);
            return;
        }
        // The meter's turnaround after an echo is no silence within the reply.
        if (gathered.empty())
            silence.stop();
        else
            silence.start(wholeMillis(silenceTime));
    };

    const auto received = QObject::connect(&m_line, &SerialLine::received, &loop, take);
    const auto lost = QObject::connect(&m_line, &SerialLine::lost, &loop, [&] {
        result.error = PortError::Io;
        result.lost = true;
        finish(End::PortFailed);
    });
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
        // Bytes that came while this process was not running are no silence:
        // take what is waiting first, and end only if nothing was.
        const std::size_t before = gathered.size();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!done && !silence.isActive() && gathered.size() == before)
            finish(End::Silence);
    });
    Clock::time_point deadline;
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        // Qt's timers wake a fraction of a millisecond late, which a sweep of
        // silent addresses adds up: woken a little early, the rest is waited
        // out here, taking what the line brings meanwhile.
        while (!done && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!done)
            finish(End::Timeout);
    });
    // Whatever the line said before this request is not its reply.
    m_line.discardInput();
    const QByteArray bytes(reinterpret_cast<const char *>(request.data()), static_cast<qsizetype>(request.size()));
    const QByteArray wireRequest = m_line.wireForm(bytes, Direction::Sent);
    result.wireRequest.assign(wireRequest.begin(), wireRequest.end());
    const auto lineTime = m_line.pacedByLine() ? engine::LineTime(m_settings, request.size()) : std::chrono::nanoseconds{};
    // Armed right before the write, so nothing this call does adds to the wait.
    deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(lineTime + timeout);
    limit.start(std::max(std::chrono::milliseconds(0),
                         std::chrono::floor<std::chrono::milliseconds>(lineTime + timeout) - TimerEarly));
    result.written = Clock::now();
    if (const PortError error = m_line.write(bytes); error != PortError::None) {
        limit.stop();
        QObject::disconnect(received);
        QObject::disconnect(lost);
        result.end = End::PortFailed;
        result.error = error;
        result.ended = Clock::now();
        return result;
    }
    result.sent = result.written + std::chrono::duration_cast<Clock::duration>(lineTime);
    take(); // bytes that came while the write call returned
    if (limit.isActive())
        loop.exec();
    QObject::disconnect(received);
    QObject::disconnect(lost);
    QByteArray came(reinterpret_cast<const char *>(result.echo.data()), static_cast<qsizetype>(result.echo.size()));
    came.append(reinterpret_cast<const char *>(gathered.data()), static_cast<qsizetype>(gathered.size()));
    const QByteArray wireReply = m_line.wireForm(came, Direction::Received);
    result.wireReply.assign(wireReply.begin(), wireReply.end());
    result.reply = std::move(gathered);
    return result;
}

} // namespace serial
