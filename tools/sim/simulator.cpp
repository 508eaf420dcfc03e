#include "simulator.h"

#include "codec/crc16.h"
#include "codec/hexcode.h"
#include "engine/replyend.h"

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

Simulator::Simulator(SimLink& link, GatewayFraming framing, std::vector<SimMeter> meters, FaultPlan faults,
                     LineSettings settings, SimLog& log, std::uint32_t seed)
    : m_link(link), m_framing(framing), m_meters(std::move(meters)), m_faults(std::move(faults)), m_settings(settings),
      m_log(log), m_collisions(seed)
{
}

int Simulator::run()
{
    std::string names;
    for (const auto& meter : m_meters)
        names += (names.empty() ? "" : ", ") + meter.name() + " " + engine::ShortText(meter.line());
    m_log.line("START", "port " + m_link.portText() + ", meters " + names + ", line "
                            + engine::ShortText(m_settings) + "; " + hearingNote() + "; faults " + m_faults.describe());
    for (;;) {
        if (!sendDue(Clock::now()))
            return 1;

        std::optional<Clock::time_point> deadline;
        if (!m_out.empty())
            deadline = m_out.front().due;
        const auto characterTime = engine::CharacterTime(m_heard ? m_heard->settings : m_settings);
        if (const auto silence = m_framer.silenceDeadline(characterTime))
            deadline = deadline ? std::min(*deadline, *silence) : *silence;

        std::string text;
        switch (m_link.wait(deadline, text)) {
        case SimLink::Wait::Stopped:
            m_log.line("STOP", "stop signal: exiting");
            return 0;
        case SimLink::Wait::Failed:
            m_log.line("ERROR", text);
            return 1;
        case SimLink::Wait::NewPeer:
            m_log.line("PEER", text);
            startAfresh();
            break;
        case SimLink::Wait::Readable: {
            const auto bytes = m_link.readAvailable(text);
            if (!bytes) {
                m_log.line("ERROR", text);
                return 1;
            }
            receive(*bytes, Clock::now());
            break;
        }
        case SimLink::Wait::Timeout:
            break;
        }
        if (const auto frame = m_framer.takeAtSilence(Clock::now(), characterTime))
            handleRtu(*frame);
        logDropped();
    }
}

// How requests will be matched to the meters' settings, for the start of the log.
std::string Simulator::hearingNote()
{
    const auto hearing = m_link.hearing();
    if (!hearing)
        return "over TCP every meter answers, replies unpaced";
    if (!hearing->parityVisible)
        return "requests heard at the speed and stop bits the tool sets (a pty shows no parity: ?), paced by the "
               "simulator";
    auto note = "requests heard at the device's " + HearingText(*hearing);
    for (const auto& meter : m_meters)
        if (!Hears(*hearing, meter.line()))
            note += ", out of hearing: " + meter.name();
    return note;
}

void Simulator::receive(std::span<const std::uint8_t> bytes, Clock::time_point now)
{
    if (bytes.empty())
        return;
    // Read when the bytes come: the tool may change its settings between requests.
    m_heard = m_link.hearing();
    m_link.overhear(bytes);
    if (faultsInForce() && m_faults.find(FaultKind::Echo)) {
        // The adapter's receiver hears its own transmitter, so the bytes come back as they go out.
        schedule({now, {bytes.begin(), bytes.end()}, {}, false});
        m_log.line("TX", codec::HexText(bytes) + " | fault: the line's echo");
    }
    if (m_framing == GatewayFraming::Mbap) {
        m_mbap.push(bytes);
        while (const auto frame = m_mbap.next())
            serve({frame->bytes, frame->unit, frame->pdu, frame->transaction});
        return;
    }
    m_framer.push(bytes, now);
    while (const auto frame = m_framer.next())
        handleRtu(*frame);
}

void Simulator::logDropped()
{
    const auto dropped = m_framer.takeDropped();
    if (!dropped.empty())
        m_log.line("RX", codec::HexText(dropped) + " | after a bad CRC: ignored until the line is silent");
    for (const auto& frame : m_mbap.takeDropped())
        m_log.line("RX", codec::HexText(frame.bytes) + " | " + frame.reason);
}

void Simulator::handleRtu(const ReceivedFrame& frame)
{
    if (!frame.crcOk) {
        // A slave stays silent on a frame whose CRC is wrong.
        m_log.line("RX", codec::HexText(frame.bytes) + heardText()
                             + (frame.byLength ? " | bad CRC: no reply" : " | not a frame: ignored"));
        return;
    }
    const std::span<const std::uint8_t> bytes = frame.bytes;
    serve({bytes, bytes[0], bytes.subspan(1, bytes.size() - 3)});
}

bool Simulator::hears(const SimMeter& meter) const
{
    return !m_heard || Hears(*m_heard, meter.line());
}

// " | at 9600 8?1" where the link has line settings.
std::string Simulator::heardText() const
{
    return m_heard ? " | at " + HearingText(*m_heard) : std::string();
}

bool Simulator::faultsInForce() const
{
    return !m_faults.faults.empty() && !(m_faults.once && m_faultsSpent);
}

void Simulator::serve(const Request& request)
{
    if (request.address == 0) {
        broadcast(request);
        return;
    }
    const auto now = Clock::now();
    std::vector<std::size_t> answering;
    std::string unheard;
    for (std::size_t i = 0; i < m_meters.size(); ++i) {
        const auto& meter = m_meters[i];
        if (meter.address() != request.address)
            continue;
        if (!hears(meter)) {
            unheard += (unheard.empty() ? "" : ", ") + meter.name() + " listens at " + engine::ShortText(meter.line());
            continue;
        }
        answering.push_back(i);
    }
    if (answering.size() > 1) {
        collide(answering, request, now);
        return;
    }
    if (answering.size() == 1) {
        const bool changed = answerAs(answering.front(), request, faultsInForce(), now);
        // keep-settings alone acts on a change only: the reads a tool sends
        // before one leave "once" unspent.
        const bool keepSettingsAlone = m_faults.faults.size() == 1 && m_faults.find(FaultKind::KeepSettings);
        if (changed || !keepSettingsAlone)
            m_faultsSpent = true;
        return;
    }
    const auto hex = codec::HexText(request.bytes) + heardText();
    if (unheard.empty())
        m_log.line("RX", hex + " | no meter at address " + std::to_string(request.address) + ": no reply");
    else
        m_log.line("RX", hex + " | not heard: " + unheard + "; no reply");
}

// Meters that share an address all answer at once: their drivers fight on the
// line and what the tool hears is neither reply. Where two drivers disagree
// the receivers see the driven 0 (the start bit's level), so the bytes are
// AND-combined, each later meter a seeded 1..3 characters behind the first.
// The faults wait for a lone reply.
void Simulator::collide(const std::vector<std::size_t>& answering, const Request& request, Clock::time_point now)
{
    std::vector<std::uint8_t> wire;
    std::string names;
    std::string offsets;
    std::vector<std::pair<std::size_t, SettingChange>> changes;
    for (const auto i : answering) {
        auto& meter = m_meters[i];
        m_log.line("RX", codec::HexText(request.bytes) + heardText() + " | " + meter.name() + ": " + meter.describe(request.pdu));
        const auto answer = meter.answer(request.pdu);
        std::vector<std::uint8_t> reply{meter.address()};
        reply.insert(reply.end(), answer.pdu.begin(), answer.pdu.end());
        codec::AppendCrc16(reply);
        const std::size_t offset = wire.empty() ? 0 : 1 + m_collisions() % 3;
        if (!wire.empty())
            offsets += (offsets.empty() ? "" : ", ") + std::to_string(offset);
        wire.resize(std::max(wire.size(), offset + reply.size()), 0xFF); // the idle line is at 1
        for (std::size_t k = 0; k < reply.size(); ++k)
            wire[offset + k] &= reply[k];
        names += (names.empty() ? "" : " and ") + meter.name();
        if (answer.change.any())
            changes.emplace_back(i, answer.change);
    }
    // A garble that happened to check would be a reply after all: the model never gives one.
    if (const auto n = engine::ExpectedReplyLength(wire); n && *n <= wire.size() && codec::CrcRight(std::span(wire).first(*n)))
        wire[*n - 1] ^= 0xFF;
    if (codec::CrcRight(wire))
        wire.back() ^= 0xFF;

    if (m_framing == GatewayFraming::Mbap) {
        // The gateway finds no frame with a right CRC in it and has nothing to pass on.
        m_log.line("TX", "(nothing) | collision: " + names + " answer together; the gateway drops the garble");
        for (const auto& [i, change] : changes)
            applyChange(i, change);
        return;
    }
    const auto start = std::max(now, m_busyUntil);
    m_busyUntil = queueBytes(wire, start, replyCharacterTime(m_meters[answering.front()]));
    // Each meter carried the request out, so each takes up its change once the line is free.
    for (const auto& [i, change] : changes)
        schedule({m_busyUntil, {}, [this, i, change] { applyChange(i, change); }});
    m_log.line("TX", codec::HexText(wire) + " | collision: " + names + " answer together, " + offsets
                         + " character(s) apart (" + millisText(m_busyUntil - start) + ")");
}

void Simulator::broadcast(const Request& request)
{
    const auto hex = codec::HexText(request.bytes) + heardText();
    if (request.pdu.empty() || request.pdu[0] != 0x10) {
        m_log.line("RX", hex + " | broadcast read: ignored, no reply");
        return;
    }
    // Every meter that hears a broadcast write carries it out at once and none replies.
    std::string results;
    for (std::size_t i = 0; i < m_meters.size(); ++i) {
        if (!hears(m_meters[i])) {
            results += "; " + m_meters[i].name() + ": not heard";
            continue;
        }
        const auto answer = m_meters[i].answer(request.pdu);
        results += "; " + m_meters[i].name() + ": " + answer.what;
        applyChange(i, answer.change);
    }
    m_log.line("RX", hex + " | broadcast, no reply" + results);
}

std::chrono::nanoseconds Simulator::replyCharacterTime(const SimMeter& meter) const
{
    return m_link.pacing() == Pacing::None ? std::chrono::nanoseconds::zero() : engine::CharacterTime(meter.line());
}

bool Simulator::answerAs(std::size_t meterIndex, const Request& request, bool faulty, Clock::time_point now)
{
    auto& meter = m_meters[meterIndex];
    const auto pdu = request.pdu;
    m_log.line("RX", codec::HexText(request.bytes) + heardText() + " | " + meter.name() + ": " + meter.describe(pdu));

    auto fault = [&](FaultKind kind) { return faulty ? m_faults.find(kind) : nullptr; };
    MeterAnswer answer;
    if (const auto* refuse = fault(FaultKind::Exception)) {
        answer.pdu = SimMeter::ExceptionPdu(pdu[0], static_cast<std::uint8_t>(refuse->code));
        answer.what = "fault: exception " + std::to_string(refuse->code) + " instead of carrying it out";
    } else {
        answer = meter.answer(pdu);
    }

    std::vector<std::uint8_t> reply;
    std::string notes;
    if (m_framing == GatewayFraming::Mbap) {
        // The transaction and unit of the request, so the client can pair them.
        reply = MbapReply(request.transaction, request.address, answer.pdu);
    } else {
        reply.reserve(answer.pdu.size() + 3);
        reply.push_back(meter.address());
        reply.insert(reply.end(), answer.pdu.begin(), answer.pdu.end());
        codec::AppendCrc16(reply);
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
    }
    if (fault(FaultKind::Silent)) {
        m_log.line("TX", "(nothing) | " + answer.what + "; fault: reply withheld");
        applyChange(meterIndex, answer.change);
        return answer.change.any();
    }

    const auto ct = replyCharacterTime(meter);
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
        end = queueBytes(std::span(reply).subspan(offset, size), k == 0 ? end : end + gap, ct);
        offset += size;
    }
    const auto duration = end - start;

    // A new address or line setting counts only once the reply has left; a meter
    // that takes it only at its next restart keeps the old one meanwhile.
    if (answer.change.any() && fault(FaultKind::KeepSettings))
        notes += "; fault: the change is acknowledged but not taken";
    else if (answer.change.any())
        schedule({end, {}, [this, meterIndex, change = answer.change] { applyChange(meterIndex, change); }});
    m_busyUntil = end;

    if (const auto* chatter = fault(FaultKind::Chatter)) {
        const auto n = chatter->count ? static_cast<std::size_t>(chatter->count)
                                      : static_cast<std::size_t>(ChatterWhile / engine::CharacterTime(meter.line()));
        m_busyUntil = queueBytes(junk(n), end, ct);
        notes += "; fault: then " + std::to_string(n) + " junk bytes over " + millisText(m_busyUntil - end);
    }
    const auto timing = m_link.pacing() == Pacing::None ? millisText(duration)
                                                         : millisText(duration) + " at " + engine::ShortText(meter.line());
    m_log.line("TX", codec::HexText(reply) + " | " + answer.what + notes + " (" + timing + ")");
    return answer.change.any();
}

Clock::time_point Simulator::queueBytes(std::span<const std::uint8_t> bytes, Clock::time_point start,
                                        std::chrono::nanoseconds characterTime)
{
    if (m_link.pacing() == Pacing::BySimulator) {
        // Each byte reaches the other side when its last stop bit has gone out.
        for (std::size_t i = 0; i < bytes.size(); ++i)
            schedule({start + characterTime * static_cast<int>(i + 1), {bytes[i]}, {}});
    } else if (!bytes.empty()) {
        schedule({start, {bytes.begin(), bytes.end()}, {}});
    }
    return start + characterTime * static_cast<int>(bytes.size());
}

void Simulator::schedule(Pending item)
{
    // After everything due at the same time, so that bytes keep their order.
    const auto at = std::upper_bound(m_out.begin(), m_out.end(), item.due,
                                     [](Clock::time_point due, const Pending& p) { return due < p.due; });
    m_out.insert(at, std::move(item));
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
    auto line = meter.line();
    if (change.baud)
        line.baud = *change.baud;
    if (change.parity)
        line.parity = *change.parity;
    if (change.stopBits)
        line.stopBits = *change.stopBits;
    meter.setLine(line);
    // A device stays at the simulator's settings, as another meter's UART would not follow this one.
    std::string note;
    if (const auto hearing = m_link.hearing(); hearing && hearing->parityVisible && !Hears(*hearing, line))
        note = "; the device stays at " + HearingText(*hearing) + ", so it is out of hearing";
    m_log.line("SET", meter.name() + " now listens at " + engine::ShortText(line) + note);
}

bool Simulator::sendDue(Clock::time_point now)
{
    while (!m_out.empty() && m_out.front().due <= now) {
        auto item = std::move(m_out.front());
        m_out.pop_front();
        if (!item.bytes.empty()) {
            std::string error;
            const int written = m_link.write(item.bytes, error);
            if (written < 0) {
                m_log.line("ERROR", error);
                return false;
            }
            if (item.onBus)
                m_link.overhear(item.bytes);
            if (static_cast<std::size_t>(written) < item.bytes.size())
                m_log.line("TX", std::to_string(item.bytes.size() - static_cast<std::size_t>(written))
                                     + " byte(s) dropped: nobody reads the line");
        }
        if (item.then)
            item.then();
    }
    return true;
}

void Simulator::startAfresh()
{
    // Nothing pending is for the new client; a meter still takes up what its last write set.
    for (auto& item : m_out)
        if (item.then)
            item.then();
    m_out.clear();
    m_busyUntil = {};
    m_framer = {};
    m_mbap = {};
}

std::vector<std::uint8_t> Simulator::junk(std::size_t n)
{
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(m_junk() & 0xFF);
    return bytes;
}

} // namespace sim
