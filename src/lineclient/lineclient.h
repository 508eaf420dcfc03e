#pragma once

#include "engine/linesettings.h"
#include "engine/replyassembler.h"
#include "lineclient/linereply.h"
#include "serial/serialline.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>

// One line (a serial port or a gateway) worked by one object: it opens
// without waiting, and runs a queue of exchanges one at a time, each reply
// ended by the ReplyAssembler's rule, with a guard time between them. Nothing
// in it waits or turns the event loop: it is driven by the line's signals and
// its own timers, so any number of lines are worked side by side.
namespace lineclient {

class LineClient : public QObject
{
    Q_OBJECT
public:
    using Clock = serial::Clock;

    // The line for a port name: a serial device, or a gateway address.
    explicit LineClient(const QString &portName, QObject *parent = nullptr);
    // A line made elsewhere, e.g. a test's fake.
    explicit LineClient(std::unique_ptr<serial::SerialLine> line, QObject *parent = nullptr);
    // Every exchange still waiting ends as Aborted; the line is closed.
    ~LineClient() override;

    QString portName() const;
    // A gateway: the line settings never reach the meters' wire.
    bool throughGateway() const { return m_gateway; }
    bool isOpen() const { return m_line->isOpen(); }

    // Taken at once; an exchange on the line is not disturbed by it only
    // because callers change settings between their own exchanges.
    serial::PortError setSettings(const engine::LineSettings &settings);
    const engine::LineSettings &settings() const { return m_settings; }

    // The pause between the end of one exchange and the next request: the
    // Modbus silence on a line a UART paces, none elsewhere, unless set.
    void setGuardTime(std::optional<std::chrono::nanoseconds> guard) { m_guardTime = guard; }
    std::chrono::nanoseconds guardTime() const;
    // After a time-out (or an abort), how long the line must be quiet before
    // the next request, so that a late reply is never taken for its answer.
    void setSettleTime(std::chrono::milliseconds quiet) { m_settleTime = quiet; }
    // Before the next request the line must be quiet for `quiet` from now:
    // the rest of a reply that was cut short goes by first.
    void settleBeforeNext(std::chrono::milliseconds quiet);

    // Opens without waiting: opened() or openFailed() follows.
    void open();
    // Ends every exchange (Aborted) and closes the line.
    void close();

    // Queues one request; the reply finishes once. The caller owns it.
    LineReply *send(std::vector<std::uint8_t> request, std::chrono::milliseconds timeout, bool skipEcho);
    // Ends the exchange on the line and every queued one as Aborted.
    void abortAll();

signals:
    void opened();
    void openFailed(serial::PortError error, const QString &reason);
    // The line went away; every exchange it held has ended as PortFailed.
    void lost();
    // Bytes that came after a time-out, thrown away before the next request.
    void lateBytesDiscarded(std::size_t count, Clock::duration afterTimeout);

private:
    enum class State { Idle, Settling, Exchanging, Guarding };

    void init();
    void startNext();
    void beginExchange();
    void onReceived();
    void takeInput();
    void onSilence();
    void onLimit();
    void finishCurrent(LineReply::End end, serial::PortError error = serial::PortError::None);
    void endSettling();
    void abortReply(LineReply *reply);
    void failAll(serial::PortError error, bool lost);
    void idleAfter(std::chrono::nanoseconds pause);

    std::unique_ptr<serial::SerialLine> m_line;
    bool m_gateway = false;
    engine::LineSettings m_settings;
    std::optional<std::chrono::nanoseconds> m_guardTime;
    std::chrono::milliseconds m_settleTime{0};
    std::optional<std::chrono::milliseconds> m_nextSettle; // once, in place of m_settleTime

    State m_state = State::Idle;
    std::deque<QPointer<LineReply>> m_queue;
    QPointer<LineReply> m_current;
    engine::ReplyAssembler m_assembler;
    serial::ExchangeResult m_result;
    std::optional<Clock::time_point> m_quietFrom; // a time-out or abort: settle before the next request
    std::size_t m_lateCount = 0;
    Clock::duration m_lateAfter{};
    std::optional<Clock::time_point> m_silenceStamp;

    QTimer m_silence;        // the reply's silence
    QTimer m_silenceConfirm; // one more turn: bytes already waiting are no silence
    QTimer m_limit;          // the time-out
    QTimer m_guard;          // the pause before the next request
    QTimer m_settleQuiet;    // quiet after a time-out
    QTimer m_settleLimit;    // noise that never stops is waited out only so long
};

} // namespace lineclient
