#include "serial/exchange.h"

#include "engine/replyassembler.h"
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

// How much sooner than the time-out its timer is set, to be woken in time.
constexpr std::chrono::milliseconds TimerEarly{1};
// What the trace keeps of received wire bytes: a frame and a Modbus TCP header.
constexpr std::size_t MaxWireBytes = engine::MaxRtuFrame + 7;
// How many times its quiet time a settle waits for noise to stop.
constexpr int SettleLimit = 4;

std::vector<std::uint8_t> bounded(const QByteArray &bytes)
{
    const auto n = std::min<std::size_t>(MaxWireBytes, static_cast<std::size_t>(bytes.size()));
    return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<qsizetype>(n));
}

std::span<const std::uint8_t> asBytes(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

} // namespace

Exchanger::Exchanger(SerialLine &line)
    : m_line(line)
{
}

void Exchanger::abort()
{
    m_aborted = true;
    if (m_stopRunning)
        m_stopRunning();
}

ExchangeResult Exchanger::exchange(std::span<const std::uint8_t> request, std::chrono::milliseconds timeout, bool skipEcho)
{
    using End = ExchangeResult::End;
    ExchangeResult result;
    if (m_aborted) {
        result.end = End::Aborted;
        result.written = result.sent = result.ended = Clock::now();
        return result;
    }

    engine::ReplyAssembler assembler;
    QEventLoop loop;
    QTimer silence;
    QTimer limit;
    for (QTimer *timer : {&silence, &limit}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    bool done = false;
    const auto finish = [&](End end) {
        if (done)
            return;
        done = true;
        result.end = end;
        result.ended = Clock::now();
        silence.stop();
        limit.stop();
        loop.quit();
    };
    const auto take = [&] {
        const QByteArray chunk = m_line.readAll();
        if (chunk.isEmpty() || done)
            return;
        const auto now = Clock::now();
        assembler.take(asBytes(chunk), now);
        if (assembler.complete()) {
            finish(End::Complete);
            return;
        }
        if (const auto due = assembler.silenceDue())
            silence.start(wholeMillis(*due - now));
        else
            silence.stop();
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
        const auto before = assembler.lastByte();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!done && !silence.isActive() && assembler.lastByte() == before)
            finish(End::Silence);
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        // Qt's timers wake a fraction of a millisecond late, which a sweep of
        // silent addresses adds up: woken a little early, the rest is waited
        // out here, taking what the line brings meanwhile.
        while (!done && Clock::now() < assembler.timeoutDue())
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        finish(End::Timeout);
    });
    m_stopRunning = [&] { finish(End::Aborted); };

    // Whatever the line said before this request is not its reply.
    m_line.discardInput();
    const QByteArray bytes(reinterpret_cast<const char *>(request.data()), static_cast<qsizetype>(request.size()));
    const QByteArray wireRequest = m_line.wireForm(bytes, Direction::Sent);
    result.wireRequest.assign(wireRequest.begin(), wireRequest.end());
    const auto lineTime = m_line.pacedByLine() ? engine::LineTime(m_settings, request.size()) : std::chrono::nanoseconds{};
    // Armed right before the write, so nothing this call does adds to the wait.
    result.written = Clock::now();
    result.sent = result.written + std::chrono::duration_cast<Clock::duration>(lineTime);
    assembler.start(request, skipEcho, result.sent, engine::ReplySilence(m_settings, m_line.pacedByLine()), timeout);
    limit.start(std::max(std::chrono::milliseconds(0),
                         std::chrono::floor<std::chrono::milliseconds>(lineTime + timeout) - TimerEarly));
    if (const PortError error = m_line.write(bytes); error != PortError::None) {
        limit.stop();
        result.end = End::PortFailed;
        result.error = error;
        result.ended = Clock::now();
        done = true;
    } else {
        take(); // bytes that came while the write call returned
        if (!done)
            loop.exec();
    }
    m_stopRunning = nullptr;
    QObject::disconnect(received);
    QObject::disconnect(lost);

    if (assembler.lastByte())
        result.lastByte = *assembler.lastByte();
    result.echo = assembler.echo();
    result.reply = assembler.reply();
    result.trailing = assembler.trailing();
    result.dropped = assembler.dropped();
    result.echoed = !skipEcho && assembler.echoed();
    QByteArray came(reinterpret_cast<const char *>(result.echo.data()), static_cast<qsizetype>(result.echo.size()));
    came.append(reinterpret_cast<const char *>(result.reply.data()), static_cast<qsizetype>(result.reply.size()));
    result.wireReply = bounded(m_line.wireForm(came, Direction::Received));
    result.otherWire = bounded(m_line.unclaimedWire());
    return result;
}

LateBytes Exchanger::settle(Clock::time_point timedOut, std::chrono::milliseconds quiet)
{
    LateBytes late;
    if (m_aborted) {
        late.aborted = true;
        return late;
    }
    QEventLoop loop;
    QTimer quietTimer;
    QTimer limit;
    quietTimer.setSingleShot(true);
    limit.setSingleShot(true);
    Clock::time_point lastHeard = timedOut;
    const auto take = [&] {
        const QByteArray chunk = m_line.readAll();
        if (chunk.isEmpty())
            return;
        const auto now = Clock::now();
        if (late.count == 0)
            late.after = now - timedOut;
        late.count += static_cast<std::size_t>(chunk.size());
        lastHeard = now;
        quietTimer.start(quiet);
    };
    QObject::connect(&m_line, &SerialLine::received, &loop, take);
    QObject::connect(&m_line, &SerialLine::lost, &loop, &QEventLoop::quit);
    QObject::connect(&quietTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    m_stopRunning = [&] {
        late.aborted = true;
        loop.quit();
    };
    take(); // what came while nothing listened
    const auto quietLeft = std::chrono::duration_cast<std::chrono::milliseconds>(lastHeard + quiet - Clock::now());
    if (quietLeft.count() > 0 && m_line.isOpen()) {
        quietTimer.start(quietLeft);
        limit.start(quiet * SettleLimit);
        loop.exec();
    }
    m_stopRunning = nullptr;
    return late;
}

} // namespace serial
