#include "simulator.h"

#include "codec/crc16.h"
#include "codec/hexcode.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

std::string millisText(Clock::duration d)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", std::chrono::duration<double, std::milli>(d).count());
    return text;
}

constexpr auto ChatterWhile = std::chrono::milliseconds(500); // how long chatter goes on without a count

} // namespace

Simulator::Simulator(SimLine& line, std::vector<SimMeter> meters, FaultPlan faults, LineSettings settings, SimLog& log)
    : m_line(line), m_meters(std::move(meters)), m_faults(std::move(faults)), m_settings(settings), m_log(log)
{
}

int Simulator::run()
{
    std::string names;
    for (const auto& meter : m_meters)
        names += (names.empty() ? "" : ", ") + meter.name();
    m_log.line("START", "port " + m_line.portPath() + ", meters " + names + ", line " + engine::ShortText(m_settings)
                            + (m_line.pacedBySoftware() ? " (paced by the simulator)" : "") + ", faults "
                            + m_faults.describe());
    for (;;) {
        if (!sendDue(Clock::now()))
            return 1;

        std::optional<Clock::time_point> deadline;
        if (!m_out.empty())
            deadline = m_out.front().due;
        if (const auto silence = m_framer.silenceDeadline(engine::CharacterTime(m_settings)))
            deadline = deadline ? std::min(*deadline, *silence) : *silence;

        std::string error;
        switch (m_line.wait(deadline, error)) {
        case SimLine::Wait::Stopped:
            m_log.line("STOP", "stop signal: exiting");
            return 0;
        case SimLine::Wait::Failed:
            m_log.line("ERROR", error);
            return 1;
        case SimLine::Wait::Readable: {
            const auto bytes = m_line.readAvailable(error);
            if (!bytes) {
                m_log.line("ERROR", error);
                return 1;
            }
            m_framer.push(*bytes, Clock::now());
            while (const auto frame = m_framer.next())
                handleFrame(*frame);
            break;
        }
        case SimLine::Wait::Timeout:
            break;
        }
        if (const auto frame = m_framer.takeAtSilence(Clock::now(), engine::CharacterTime(m_settings)))
            handleFrame(*frame);
        logDropped();
    }
}

void Simulator::logDropped()
{
    const auto dropped = m_framer.takeDropped();
    if (!dropped.empty())
        m_log.line("RX", codec::HexText(dropped) + " | after a bad CRC: ignored until the line is silent");
}

void Simulator::handleFrame(const ReceivedFrame& frame)
{
    const auto hex = codec::HexText(frame.bytes);
    if (!frame.crcOk) {
        // A slave stays silent on a frame whose CRC is wrong.
        m_log.line("RX", hex + (frame.byLength ? " | bad CRC: no reply" : " | not a frame: ignored"));
        return;
    }
    const auto address = frame.bytes[0];
    if (address == 0) {
        broadcast(frame.bytes);
        return;
    }
    const auto now = Clock::now();
    bool served = false;
    for (std::size_t i = 0; i < m_meters.size(); ++i) {
        if (m_meters[i].address() != address)
            continue;
        if (!served) {
            served = true;
            const bool faulty = !m_faults.faults.empty() && !(m_faults.once && m_faultsSpent);
            m_faultsSpent = true;
            answerAs(i, frame.bytes, faulty, now);
        } else {
            // Two meters at one address both answer, and garble each other on a real line.
            answerAs(i, frame.bytes, false, now);
        }
    }
    if (!served)
        m_log.line("RX", hex + " | no meter at address " + std::to_string(address) + ": no reply");
}

void Simulator::broadcast(std::span<const std::uint8_t> frame)
{
    const auto pdu = frame.subspan(1, frame.size() - 3);
    if (pdu.empty() || pdu[0] != 0x10) {
        m_log.line("RX", codec::HexText(frame) + " | broadcast read: ignored, no reply");
        return;
    }
    // Every meter carries a broadcast write out at once and none replies.
    std::string results;
    for (std::size_t i = 0; i < m_meters.size(); ++i) {
        const auto answer = m_meters[i].answer(pdu);
        results += "; " + m_meters[i].name() + ": " + answer.what;
        applyChange(i, answer.change);
    }
    m_log.line("RX", codec::HexText(frame) + " | broadcast, no reply" + results);
}

void Simulator::answerAs(std::size_t meterIndex, std::span<const std::uint8_t> frame, bool faulty,
                         Clock::time_point now)
{
    auto& meter = m_meters[meterIndex];
    const auto pdu = frame.subspan(1, frame.size() - 3);
    m_log.line("RX", codec::HexText(frame) + " | " + meter.name() + ": " + meter.describe(pdu));

    auto fault = [&](FaultKind kind) { return faulty ? m_faults.find(kind) : nullptr; };
    MeterAnswer answer;
    if (const auto* refuse = fault(FaultKind::Exception)) {
        answer.pdu = SimMeter::ExceptionPdu(pdu[0], static_cast<std::uint8_t>(refuse->code));
        answer.what = "fault: exception " + std::to_string(refuse->code) + " instead of carrying it out";
    } else {
        answer = meter.answer(pdu);
    }

    std::vector<std::uint8_t> reply;
    reply.reserve(answer.pdu.size() + 3);
    reply.push_back(meter.address());
    reply.insert(reply.end(), answer.pdu.begin(), answer.pdu.end());
    codec::AppendCrc16(reply);
    std::string notes;
    if (fault(FaultKind::BadCrc)) {
        reply[reply.size() - 2] ^= 0xFF;
        reply[reply.size() - 1] ^= 0xFF;
        notes += "; fault: CRC inverted";
    }
    if (const auto* extra = fault(FaultKind::Garbage)) {
        const auto bytes = junk(static_cast<std::size_t>(extra->count));
        reply.insert(reply.end(), bytes.begin(), bytes.end());
        notes += "; fault: " + std::to_string(extra->count) + " junk bytes after the reply";
    }
    if (fault(FaultKind::Silent)) {
        m_log.line("TX", "(nothing) | " + answer.what + "; fault: reply withheld");
        applyChange(meterIndex, answer.change);
        return;
    }

    auto start = std::max(now, m_busyUntil);
    if (const auto* late = fault(FaultKind::Late)) {
        start += std::chrono::milliseconds(late->millis);
        notes += "; fault: " + std::to_string(late->millis) + " ms late";
    }
    std::size_t chunks = 1;
    std::chrono::milliseconds gap{0};
    if (const auto* split = fault(FaultKind::Split)) {
        chunks = std::min(reply.size(), static_cast<std::size_t>(split->count));
        gap = std::chrono::milliseconds(split->millis);
        notes += "; fault: in " + std::to_string(chunks) + " chunks " + std::to_string(split->millis) + " ms apart";
    }
    auto end = start;
    std::size_t offset = 0;
    for (std::size_t k = 0; k < chunks; ++k) {
        // Chunks as even as can be, the earlier ones a byte longer.
        const auto size = reply.size() / chunks + (k < reply.size() % chunks ? 1 : 0);
        end = queueBytes(std::span(reply).subspan(offset, size), k == 0 ? end : end + gap);
        offset += size;
    }
    const auto duration = end - start;

    // A new address or line setting counts only once the reply has left.
    if (answer.change.any())
        m_out.push_back({end, {}, [this, meterIndex, change = answer.change] { applyChange(meterIndex, change); }});
    m_busyUntil = end;

    if (const auto* chatter = fault(FaultKind::Chatter)) {
        const auto ct = engine::CharacterTime(m_settings);
        const auto n = chatter->count ? static_cast<std::size_t>(chatter->count)
                                      : static_cast<std::size_t>(ChatterWhile / ct);
        m_busyUntil = queueBytes(junk(n), end);
        notes += "; fault: then " + std::to_string(n) + " junk bytes over " + millisText(m_busyUntil - end);
    }
    m_log.line("TX", codec::HexText(reply) + " | " + answer.what + notes + " (" + millisText(duration) + " at "
                         + engine::ShortText(m_settings) + ")");
}

Clock::time_point Simulator::queueBytes(std::span<const std::uint8_t> bytes, Clock::time_point start)
{
    const auto ct = engine::CharacterTime(m_settings);
    if (m_line.pacedBySoftware()) {
        // Each byte reaches the other side when its last stop bit has gone out.
        for (std::size_t i = 0; i < bytes.size(); ++i)
            m_out.push_back({start + ct * static_cast<int>(i + 1), {bytes[i]}, {}});
    } else if (!bytes.empty()) {
        m_out.push_back({start, {bytes.begin(), bytes.end()}, {}});
    }
    return start + ct * static_cast<int>(bytes.size());
}

void Simulator::applyChange(std::size_t meterIndex, const SettingChange& change)
{
    auto& meter = m_meters[meterIndex];
    if (change.address) {
        const auto old = meter.name();
        meter.setAddress(*change.address);
        m_log.line("SET", old + " now answers at address " + std::to_string(*change.address));
    }
    if (!change.baud && !change.parity && !change.stopBits)
        return;
    if (change.baud)
        m_settings.baud = *change.baud;
    if (change.parity)
        m_settings.parity = *change.parity;
    if (change.stopBits)
        m_settings.stopBits = *change.stopBits;
    std::string error;
    m_line.drain();
    if (!m_line.apply(m_settings, error)) {
        m_log.line("ERROR", meter.name() + " could not change the line to " + engine::ShortText(m_settings) + ": " + error);
        return;
    }
    m_log.line("SET", meter.name() + " changed the line to " + engine::ShortText(m_settings));
}

bool Simulator::sendDue(Clock::time_point now)
{
    while (!m_out.empty() && m_out.front().due <= now) {
        auto item = std::move(m_out.front());
        m_out.pop_front();
        if (!item.bytes.empty()) {
            std::string error;
            const int written = m_line.write(item.bytes, error);
            if (written < 0) {
                m_log.line("ERROR", error);
                return false;
            }
            if (static_cast<std::size_t>(written) < item.bytes.size())
                m_log.line("TX", std::to_string(item.bytes.size() - static_cast<std::size_t>(written))
                                     + " byte(s) dropped: nobody reads the line");
        }
        if (item.then)
            item.then();
    }
    return true;
}

std::vector<std::uint8_t> Simulator::junk(std::size_t n)
{
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(m_junk() & 0xFF);
    return bytes;
}

} // namespace sim
