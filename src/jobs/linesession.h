#pragma once

#include "linesetup.h"

#include "lineclient/lineclient.h"
#include "lineclient/task.h"
#include "serial/exchangeresult.h"

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The line of a job: the port opened with its settings, one request at a time
// on it, and a stop that ends what runs and sends nothing more.
namespace jobs {

using lineclient::Task;

class LineSession
{
public:
    // nullptr with the reason when the port does not open.
    static Task<std::unique_ptr<LineSession>> Open(const LineSetup &setup, std::string &reason);
    ~LineSession();

    // Switches the line, e.g. to the settings a meter was just given.
    bool setSettings(const engine::LineSettings &settings, std::string &reason);
    const engine::LineSettings &settings() const { return m_client->settings(); }
    const std::string &port() const { return m_setup.port; }
    // A gateway: the line settings never reach the wire; its serial side has its own.
    bool throughGateway() const { return m_client->throughGateway(); }
    std::chrono::milliseconds timeout() const { return std::chrono::milliseconds(m_setup.timeoutMs); }

    // Where notes on the line go (late replies thrown away); none unless set.
    void setNotes(std::function<void(const std::string &)> notes) { m_notes = std::move(notes); }
    // Told of every request sent and what came back, for a trace.
    void setObserver(std::function<void(std::span<const std::uint8_t>, const serial::ExchangeResult &)> observer)
    {
        m_observer = std::move(observer);
    }
    // How long the line must be quiet after a time-out before the next request.
    void setSettle(std::chrono::milliseconds quiet) { m_client->setSettleTime(quiet); }
    // The pause between one reply and the next request.
    void setGuardTime(std::chrono::microseconds guard) { m_client->setGuardTime(guard); }

    // Waits until the line has been quiet for `quiet`, throwing away what
    // comes meanwhile: the rest of a reply that was cut short.
    void letSettle(std::chrono::milliseconds quiet) { m_client->settleBeforeNext(quiet); }

    // Ends what runs and what waits (their result: aborted); nothing more is sent.
    void stop();
    bool stopped() const { return m_stopped; }

    // One request and its reply. After a time-out the line is first let
    // settle; once stopped, nothing more is sent.
    Task<serial::ExchangeResult> exchange(std::vector<std::uint8_t> request, std::chrono::milliseconds timeout);
    Task<serial::ExchangeResult> exchange(std::vector<std::uint8_t> request)
    {
        return exchange(std::move(request), timeout());
    }

private:
    LineSession(std::unique_ptr<lineclient::LineClient> client, const LineSetup &setup);

    std::unique_ptr<lineclient::LineClient> m_client;
    LineSetup m_setup;
    std::function<void(const std::string &)> m_notes;
    std::function<void(std::span<const std::uint8_t>, const serial::ExchangeResult &)> m_observer;
    bool m_stopped = false;
};

} // namespace jobs
