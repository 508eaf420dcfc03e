#include "scanjob.h"
#include "operationrun.h"
#include "probe.h"

#include "engine/replyend.h"
#include "engine/replyvalidation.h"

#include <algorithm>
#include <cstdio>

namespace jobs {

namespace {

// How many more probes an address gets once it answered after a garbled
// reply: noise rarely strikes the same address again, two devices do.
constexpr int ConfirmProbes = 2;

double millisBetween(serial::Clock::time_point from, serial::Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// "exception 02 (Illegal Data Address)" for a whole exception frame; empty otherwise.
std::string exceptionOf(const serial::ExchangeResult &result)
{
    const auto &reply = result.reply;
    if (reply.size() == 5 && (reply[1] & 0x80))
        return engine::ExceptionText(reply[2]);
    return {};
}

} // namespace

ScanJob::ScanJob(ScanSetup setup, QObject *parent)
    : Job(parent)
    , m_setup(std::move(setup))
    , m_progress(m_setup.lines.size())
{
}

Task<bool> ScanJob::run()
{
    m_lines = co_await onEachLine(m_setup.lines.size(), &ScanJob::sweepLine);
    co_return true;
}

void ScanJob::moved(std::size_t index, const LineScan &line, double secondsLeft, const std::string &where)
{
    m_progress[index] = {line.done, line.total, secondsLeft};
    ScanProgress p;
    p.found = m_found;
    p.where = where;
    // The lines run side by side: the time left is the longest line's.
    for (const auto &[done, total, left] : m_progress) {
        p.done += done;
        p.total += total;
        p.secondsLeft = std::max(p.secondsLeft, left);
    }
    emit progress(p);
}

Task<LineScan> ScanJob::sweepLine(std::size_t index)
{
    LineSetup line = m_setup.lines[index];
    LineScan scan;
    scan.port = line.port;
    line.settings = commissioning::WithSetting(line.settings, m_setup.sweep.front());
    std::string reason;
    LineSession *session = co_await open(line, reason);
    if (!session) {
        scan.end = cancelled() ? LineEnd::Stopped : LineEnd::PortFailed;
        if (!cancelled())
            emit problem(reason);
        co_return scan;
    }
    session->setSettle(m_setup.settle);
    session->setNotes([this, port = line.port](const std::string &text) { emit note(port, text); });
    // Through a gateway the settings never reach the meters' line: one pass.
    const bool gateway = session->throughGateway();
    std::vector<commissioning::SweepSetting> settingsTried = m_setup.sweep;
    if (gateway) {
        settingsTried.resize(1);
        emit note(line.port, "note: through a gateway the line settings are the gateway's; the addresses are swept once");
    }
    const auto timeout = session->timeout();
    std::vector<std::uint8_t> answered; // each address is listed once, at the first settings it answers
    std::vector<std::uint8_t> garbled;  // and once more at most, where only garbled bytes came
    scan.total = settingsTried.size() * m_setup.addresses.size();
    bool echoNoted = false;
    const auto report = [&](FoundDevice f) {
        f.port = line.port;
        ++m_found;
        scan.found.push_back(f);
        emit found(scan.found.back());
    };
    for (const auto &setting : settingsTried) {
        const auto settings = commissioning::WithSetting(line.settings, setting);
        if (!session->setSettings(settings, reason)) {
            emit problem(reason);
            scan.done += m_setup.addresses.size();
            continue;
        }
        // Garbled addresses wait for the end of the pass: whether another
        // address answers cleanly at these settings tells two devices from noise.
        std::vector<FoundDevice> garbledHere;
        bool cleanHere = false;
        const auto probeCost = timeout + std::chrono::duration_cast<std::chrono::milliseconds>(
                                             engine::LineTime(settings, ProbeFrame(1).size()));
        for (const auto address : m_setup.addresses) {
            ++scan.done;
            const auto left = std::chrono::duration<double>(probeCost * static_cast<long>(scan.total - scan.done)).count();
            moved(index, scan, left,
                  (gateway ? std::string("gateway") : engine::ShortText(settings)) + ": address " + std::to_string(address));
            if (std::find(answered.begin(), answered.end(), address) != answered.end())
                continue;
            const auto probe = ProbeFrame(address);
            auto reply = co_await session->exchange(probe, timeout);
            Heard heard = Classify(reply, address);
            // Bytes cut by noise are asked for once more, with twice the time,
            // once the rest of what was cut has passed.
            const bool garbledFirst = heard == Heard::Garbled;
            if (garbledFirst) {
                session->letSettle(timeout * 2);
                reply = co_await session->exchange(probe, timeout * 2);
                heard = Classify(reply, address);
            }
            // A valid reply after a garbled one: a probe or two more tell
            // passing noise from two devices that sometimes answer apart.
            bool mixed = false;
            for (int i = 0; garbledFirst && heard == Heard::Answer && !mixed && i < ConfirmProbes; ++i) {
                const auto again = co_await session->exchange(probe, timeout * 2);
                const Heard heardAgain = Classify(again, address);
                if (heardAgain == Heard::PortFailed || heardAgain == Heard::Interrupted)
                    heard = heardAgain;
                mixed = heardAgain == Heard::Garbled;
                if (mixed)
                    session->letSettle(timeout * 2);
            }
            if (heard == Heard::PortFailed) {
                scan.end = LineEnd::PortFailed;
                break;
            }
            if (heard == Heard::Interrupted) {
                scan.end = LineEnd::Stopped;
                break;
            }
            if (heard == Heard::Echo && !echoNoted) {
                echoNoted = true;
                emit note(line.port, std::string("note: ") + EchoedRequest);
            }
            if (heard == Heard::OtherAddress)
                emit note(line.port, "note: a late reply from address " + std::to_string(reply.reply[0])
                                         + " came while address " + std::to_string(address)
                                         + " was probed, and was discarded (a longer --timeout may find it)");
            if (heard == Heard::Garbled) {
                if (std::find(garbled.begin(), garbled.end(), address) == garbled.end()) {
                    garbled.push_back(address);
                    FoundDevice f;
                    f.address = address;
                    f.settings = settings;
                    f.throughGateway = gateway;
                    f.garbled = true;
                    f.responseMs = millisBetween(reply.written, reply.ended);
                    garbledHere.push_back(f);
                }
                continue;
            }
            if (heard != Heard::Answer)
                continue;
            answered.push_back(address);
            cleanHere = cleanHere || !mixed;
            const auto identity = co_await Identify(*session, address, reply);
            if (identity.interrupted) {
                scan.end = LineEnd::Stopped;
                break;
            }
            FoundDevice f;
            f.address = address;
            f.settings = settings;
            f.throughGateway = gateway;
            f.answersRead = identity.answersRead;
            f.exception = identity.answersRead ? std::string() : exceptionOf(reply);
            f.responseMs = millisBetween(reply.written, reply.ended);
            f.types = identity.types;
            f.suspect = mixed ? Suspect::Duplicate : Suspect::None;
            report(f);
            if (m_setup.first)
                break;
        }
        // Lone garbled bytes on a line where nothing answers cleanly may be noise
        // or wrong settings; beside clean neighbours they point to two devices.
        for (auto &f : garbledHere) {
            f.suspect = cleanHere ? Suspect::Duplicate : Suspect::None;
            report(f);
        }
        if (scan.end != LineEnd::Done || (m_setup.first && !answered.empty()))
            break;
    }
    if (scan.end == LineEnd::PortFailed)
        emit problem("cannot go on: " + line.port + " failed or went away");
    scan.meters = !answered.empty();
    close(session);
    co_return scan;
}

} // namespace jobs
