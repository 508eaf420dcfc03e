#include "lineclient/lineclient.h"

#include "engine/replyend.h"
#include "serial/anyline.h"
#include "serial/portdiscovery.h"
#include "serial/tcpline.h"

#include <algorithm>

namespace lineclient {

namespace {

using End = LineReply::End;

// QTimer counts whole milliseconds: round up, so a wait is never cut short.
std::chrono::milliseconds wholeMillis(std::chrono::nanoseconds d)
{
    return std::chrono::ceil<std::chrono::milliseconds>(std::max(d, std::chrono::nanoseconds::zero()));
}

// What the trace keeps of received wire bytes: a frame and a Modbus TCP header.
constexpr std::size_t MaxWireBytes = engine::MaxRtuFrame + 7;
// How many times its quiet time a settle waits for noise to stop.
constexpr int SettleLimit = 4;

std::vector<std::uint8_t> bounded(const QByteArray &bytes)
{
    const auto n = std::min<std::size_t>(MaxWireBytes, static_cast<std::size_t>(bytes.size()));
    return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<qsizetype>(n));
}

QByteArray toByteArray(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

} // namespace

LineClient::LineClient(const QString &portName, QObject *parent)
    : QObject(parent)
    , m_line(serial::makeLine(portName))
{
    init();
}

LineClient::LineClient(std::unique_ptr<serial::SerialLine> line, QObject *parent)
    : QObject(parent)
    , m_line(std::move(line))
{
    init();
}

void LineClient::init()
{
    m_gateway = serial::isGatewayName(m_line->portName());
    m_line->setHandshaking(serial::Handshake::None);
    for (QTimer *timer : {&m_silence, &m_silenceConfirm, &m_limit, &m_guard, &m_settleQuiet, &m_settleLimit}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(m_line.get(), &serial::SerialLine::received, this, &LineClient::onReceived);
    connect(m_line.get(), &serial::SerialLine::lost, this, [this] {
        failAll(serial::PortError::Io, true);
        emit lost();
    });
    connect(m_line.get(), &serial::SerialLine::openFinished, this, [this](serial::PortError error) {
        if (error == serial::PortError::None)
            emit opened();
        else
            emit openFailed(error, QStringLiteral("cannot open %1: %2").arg(m_line->portName(), serial::portErrorText(error)));
    });
    connect(&m_silence, &QTimer::timeout, this, &LineClient::onSilence);
    connect(&m_silenceConfirm, &QTimer::timeout, this, [this] {
        // Nothing came in the turn since the silence was due: the reply is over.
        if (m_state == State::Exchanging && m_assembler.lastByte() == m_silenceStamp)
            finishCurrent(End::Silence);
    });
    connect(&m_limit, &QTimer::timeout, this, &LineClient::onLimit);
    connect(&m_guard, &QTimer::timeout, this, [this] {
        if (m_state == State::Guarding)
            m_state = State::Idle;
        startNext();
    });
    connect(&m_settleQuiet, &QTimer::timeout, this, &LineClient::endSettling);
    connect(&m_settleLimit, &QTimer::timeout, this, &LineClient::endSettling);
}

LineClient::~LineClient()
{
    abortAll();
    m_line->close();
}

QString LineClient::portName() const
{
    return m_line->portName();
}

serial::PortError LineClient::setSettings(const engine::LineSettings &settings)
{
    const auto error = m_line->applySettings(settings);
    if (error == serial::PortError::None)
        m_settings = settings;
    return error;
}

std::chrono::nanoseconds LineClient::guardTime() const
{
    if (m_guardTime)
        return *m_guardTime;
    return m_line->pacedByLine() ? engine::FrameSilence(m_settings) : std::chrono::nanoseconds::zero();
}

void LineClient::settleBeforeNext(std::chrono::milliseconds quiet)
{
    m_quietFrom = Clock::now();
    m_nextSettle = quiet;
}

void LineClient::open()
{
    m_line->applySettings(m_settings);
    m_line->openLater();
}

void LineClient::close()
{
    abortAll();
    m_line->close();
}

LineReply *LineClient::send(std::vector<std::uint8_t> request, std::chrono::milliseconds timeout, bool skipEcho)
{
    auto *reply = new LineReply(std::move(request), timeout, skipEcho);
    reply->m_abort = [this](LineReply *r) { abortReply(r); };
    m_queue.emplace_back(reply);
    // Started on the next turn, so that the caller can connect to it first.
    if (m_state == State::Idle && !m_guard.isActive())
        m_guard.start(0);
    return reply;
}

void LineClient::abortAll()
{
    if (m_state == State::Exchanging)
        finishCurrent(End::Aborted);
    while (!m_queue.empty()) {
        const QPointer<LineReply> reply = m_queue.front();
        m_queue.pop_front();
        if (reply)
            reply->abort();
    }
}

void LineClient::abortReply(LineReply *reply)
{
    if (reply == m_current && m_state == State::Exchanging) {
        finishCurrent(End::Aborted);
        return;
    }
    m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), QPointer<LineReply>(reply)), m_queue.end());
    reply->m_abort = nullptr;
    reply->abort();
}

void LineClient::startNext()
{
    if (m_state != State::Idle)
        return;
    while (!m_queue.empty() && !m_queue.front())
        m_queue.pop_front(); // deleted by its owner before its turn
    if (m_queue.empty())
        return;
    const auto settle = m_nextSettle.value_or(m_settleTime);
    if (m_quietFrom && settle.count() > 0 && m_line->isOpen()) {
        // A late reply must not be taken for the next request's answer.
        m_state = State::Settling;
        m_lateCount = 0;
        takeInput();
        if (m_state != State::Settling)
            return;
        m_settleQuiet.start(wholeMillis(*m_quietFrom + settle - Clock::now()));
        m_settleLimit.start(settle * SettleLimit);
        return;
    }
    m_nextSettle.reset();
    m_quietFrom.reset();
    beginExchange();
}

void LineClient::endSettling()
{
    if (m_state != State::Settling)
        return;
    m_settleQuiet.stop();
    m_settleLimit.stop();
    // Bytes after a cut reply are its rest, not a late reply.
    if (m_lateCount > 0 && !m_nextSettle)
        emit lateBytesDiscarded(m_lateCount, m_lateAfter);
    m_quietFrom.reset();
    m_nextSettle.reset();
    m_state = State::Idle;
    startNext();
}

void LineClient::beginExchange()
{
    m_current = m_queue.front();
    m_queue.pop_front();
    m_state = State::Exchanging;
    m_result = serial::ExchangeResult();
    const auto &request = m_current->m_request;
    if (!m_line->isOpen()) {
        finishCurrent(End::PortFailed, serial::PortError::NotOpen);
        return;
    }
    // Whatever the line said before this request is not its reply.
    m_line->discardInput();
    const QByteArray bytes = toByteArray(request);
    const QByteArray wireRequest = m_line->wireForm(bytes, serial::Direction::Sent);
    m_result.wireRequest.assign(wireRequest.begin(), wireRequest.end());
    const auto lineTime = m_line->pacedByLine() ? engine::LineTime(m_settings, request.size()) : std::chrono::nanoseconds{};
    m_result.written = Clock::now();
    m_result.sent = m_result.written + std::chrono::duration_cast<Clock::duration>(lineTime);
    // The time-out counts from the moment the request has left the line.
    m_assembler.start(request, m_current->m_skipEcho, m_result.sent,
                      engine::ReplySilence(m_settings, m_line->pacedByLine()), m_current->m_timeout);
    if (const auto error = m_line->write(bytes); error != serial::PortError::None) {
        finishCurrent(End::PortFailed, error);
        return;
    }
    m_limit.start(wholeMillis(m_assembler.timeoutDue() - Clock::now()));
    takeInput(); // bytes that came while the write call returned
}

void LineClient::onReceived()
{
    takeInput();
}

void LineClient::takeInput()
{
    if (m_state != State::Exchanging && m_state != State::Settling)
        return;
    const QByteArray chunk = m_line->readAll();
    if (chunk.isEmpty())
        return;
    const auto now = Clock::now();
    if (m_state == State::Settling) {
        if (m_lateCount == 0)
            m_lateAfter = now - *m_quietFrom;
        m_lateCount += static_cast<std::size_t>(chunk.size());
        m_quietFrom = now;
        m_settleQuiet.start(m_nextSettle.value_or(m_settleTime));
        return;
    }
    m_assembler.take({reinterpret_cast<const std::uint8_t *>(chunk.constData()), static_cast<std::size_t>(chunk.size())}, now);
    if (m_assembler.complete()) {
        finishCurrent(End::Complete);
        return;
    }
    m_silenceConfirm.stop();
    if (const auto due = m_assembler.silenceDue())
        m_silence.start(wholeMillis(*due - now));
    else
        m_silence.stop();
}

void LineClient::onSilence()
{
    if (m_state != State::Exchanging)
        return;
    // Bytes that came while this process was not running are no silence:
    // what is waiting is taken first, and the end is confirmed a turn later.
    m_silenceStamp = m_assembler.lastByte();
    takeInput();
    if (m_state == State::Exchanging && !m_silence.isActive())
        m_silenceConfirm.start(0);
}

void LineClient::onLimit()
{
    if (m_state != State::Exchanging)
        return;
    // A timer may wake a little early: the rest is waited out.
    const auto left = m_assembler.timeoutDue() - Clock::now();
    if (left > Clock::duration::zero()) {
        m_limit.start(wholeMillis(left));
        return;
    }
    takeInput();
    if (m_state == State::Exchanging)
        finishCurrent(End::Timeout);
}

void LineClient::finishCurrent(LineReply::End end, serial::PortError error)
{
    for (QTimer *timer : {&m_silence, &m_silenceConfirm, &m_limit})
        timer->stop();
    m_result.end = end;
    m_result.error = error;
    m_result.ended = Clock::now();
    if (m_assembler.lastByte())
        m_result.lastByte = *m_assembler.lastByte();
    m_result.echo = m_assembler.echo();
    m_result.reply = m_assembler.reply();
    m_result.trailing = m_assembler.trailing();
    m_result.dropped = m_assembler.dropped();
    m_result.echoed = !m_current.isNull() && !m_current->m_skipEcho && m_assembler.echoed();
    auto came = toByteArray(m_result.echo);
    came += toByteArray(m_result.reply);
    m_result.wireReply = bounded(m_line->wireForm(came, serial::Direction::Received));
    m_result.otherWire = bounded(m_line->unclaimedWire());
    m_assembler = engine::ReplyAssembler();
    // Whatever may still come of this request is no answer to the next.
    if (end == End::Timeout || end == End::Aborted)
        m_quietFrom = m_result.ended;
    const QPointer<LineReply> reply = m_current;
    m_current = nullptr;
    idleAfter(end == End::PortFailed ? std::chrono::nanoseconds::zero() : guardTime());
    if (reply)
        reply->finish(std::move(m_result));
}

void LineClient::idleAfter(std::chrono::nanoseconds pause)
{
    m_state = State::Guarding;
    m_guard.start(wholeMillis(pause));
}

void LineClient::failAll(serial::PortError error, bool lost)
{
    if (m_state == State::Settling) {
        m_settleQuiet.stop();
        m_settleLimit.stop();
        m_state = State::Idle;
    }
    if (m_state == State::Exchanging) {
        m_result.lost = lost;
        finishCurrent(End::PortFailed, error);
    }
    while (!m_queue.empty()) {
        const QPointer<LineReply> reply = m_queue.front();
        m_queue.pop_front();
        if (!reply)
            continue;
        serial::ExchangeResult failed;
        failed.end = End::PortFailed;
        failed.error = error;
        failed.written = failed.sent = failed.ended = Clock::now();
        reply->finish(std::move(failed));
    }
}

} // namespace lineclient
