#include "monitor/busmonitor.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "codec/hexcode.h"
#include "engine/replyassembler.h"
#include "engine/resulttexts.h"

#include <algorithm>
#include <array>

namespace monitor {

namespace {

constexpr std::size_t ShortestFrame = 4; // address, function code, CRC

bool isEnergyRead(std::string_view command)
{
    using namespace catalogue::command;
    return command == ReadEnergy || command == ReadImportEnergy || command == ReadExportEnergy;
}

std::uint16_t word(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]); // high byte first
}

// A read reply of one register pair decoded by every meter type whose command
// the request was; types that decode it alike are listed together.
std::vector<EnergyReading> energies(std::span<const std::uint8_t> reply, const std::vector<CommandMatch>& commands)
{
    std::vector<EnergyReading> readings;
    if (reply.size() != 9 || reply[2] != 4)
        return readings;
    for (const auto& match : commands) {
        if (!isEnergyRead(match.command))
            continue;
        for (const auto type : match.meterTypes) {
            if (catalogue::EnergyEncodingOf(type) == catalogue::EnergyEncoding::None)
                continue;
            auto kwh = engine::EnergyText(reply, type);
            const auto same = std::find_if(readings.begin(), readings.end(), [&](const EnergyReading& r) {
                return r.command == match.command && r.kwh == kwh;
            });
            if (same != readings.end())
                same->meterTypes.push_back(type);
            else
                readings.push_back({match.command, std::move(kwh), {type}});
        }
    }
    return readings;
}

} // namespace

std::vector<CommandMatch> MatchCommands(std::span<const std::uint8_t> request)
{
    std::vector<CommandMatch> matches;
    for (const auto type : catalogue::MeterTypeNames) {
        const auto list = catalogue::CommandsOf(type);
        for (const auto command : list ? list->commands : std::vector<std::string_view>{}) {
            const auto code = catalogue::Find_Code(type, command);
            if (!code || code->request.empty())
                continue;
            // The code's first byte is the tables' placeholder address; a read is
            // the code alone, a write carries its data after it.
            const auto head = codec::HexCodeToBytes(code->request);
            const bool read = catalogue::GetFrameKind(type, command) == catalogue::FrameKindRead;
            const auto size = head.size() + 2;
            if (head.size() < 2 || request.size() < size || (read && request.size() != size)
                || !std::equal(head.begin() + 1, head.end(), request.begin() + 1))
                continue;
            const auto same = std::find_if(matches.begin(), matches.end(),
                                           [&](const CommandMatch& m) { return m.command == command; });
            if (same != matches.end())
                same->meterTypes.push_back(type);
            else
                matches.push_back({command, {type}});
        }
    }
    return matches;
}

BusMonitor::BusMonitor(std::chrono::nanoseconds silence)
    : m_silence(silence)
{
}

std::vector<Frame> BusMonitor::take(std::span<const std::uint8_t> bytes, Clock::time_point at)
{
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    m_times.insert(m_times.end(), bytes.size(), at);
    std::vector<Frame> frames;
    peel(false, frames);
    return frames;
}

std::optional<Clock::time_point> BusMonitor::silenceDue() const
{
    if (m_times.empty())
        return std::nullopt;
    return m_times.back() + m_silence;
}

std::vector<Frame> BusMonitor::silence()
{
    std::vector<Frame> frames;
    peel(true, frames);
    return frames;
}

Summary BusMonitor::summary() const
{
    auto summary = m_summary;
    if (m_outstanding)
        ++summary.unanswered;
    return summary;
}

// The frame that starts at `position` if it is whole: one of the lengths its
// function code allows (a read request 8, its reply 5 + byte count, a write
// 9 + byte count, its echo 8, an exception 5) with a right CRC over it.
std::optional<BusMonitor::Cut> BusMonitor::wholeFrameAt(std::size_t position) const
{
    const auto bytes = std::span(m_pending).subspan(position);
    if (bytes.size() < ShortestFrame)
        return std::nullopt;
    const auto function = bytes[1];
    std::array<std::optional<Cut>, 2> cuts;
    if (function & 0x80) {
        cuts[0] = Cut{5, FrameKind::Reply};
    } else if (function >= 0x01 && function <= 0x04) {
        cuts[0] = Cut{8, FrameKind::Request};
        cuts[1] = Cut{5u + bytes[2], FrameKind::Reply};
    } else if (function == 0x05 || function == 0x06) {
        cuts[0] = Cut{8, FrameKind::Request}; // or its echo: the pairing tells
    } else if (function == 0x0F || function == 0x10) {
        cuts[0] = Cut{8, FrameKind::Reply};
        if (bytes.size() > 6)
            cuts[1] = Cut{9u + bytes[6], FrameKind::Request};
    }
    // Where a request to this slave waits, its reply is the likelier reading.
    if (m_outstanding && m_outstanding->slave == bytes[0] && cuts[1] && cuts[1]->kind == FrameKind::Reply)
        std::swap(cuts[0], cuts[1]);
    for (const auto& cut : cuts)
        if (cut && cut->length <= bytes.size() && codec::CrcRight(bytes.first(cut->length)))
            return cut;
    return std::nullopt;
}

std::optional<std::size_t> BusMonitor::nextFrameStart() const
{
    for (std::size_t position = 1; position + ShortestFrame <= m_pending.size(); ++position)
        if (wholeFrameAt(position))
            return position;
    return std::nullopt;
}

void BusMonitor::peel(bool atSilence, std::vector<Frame>& out)
{
    while (!m_pending.empty()) {
        if (const auto cut = wholeFrameAt(0)) {
            deliver(cut->length, cut->kind, out);
            continue;
        }
        // What is not whole yet may still become a frame, until the line falls
        // silent or more has come than the longest frame holds.
        if (!atSilence && m_pending.size() <= engine::MaxRtuFrame)
            return;
        // The bytes up to where a whole frame starts are one broken frame.
        const auto next = nextFrameStart();
        if (!next && !atSilence) {
            // Keep the tail: a frame may be starting in it.
            deliver(m_pending.size() - engine::MaxRtuFrame, std::nullopt, out);
            return;
        }
        deliver(next.value_or(m_pending.size()), std::nullopt, out);
    }
}

void BusMonitor::deliver(std::size_t length, std::optional<FrameKind> kind, std::vector<Frame>& out)
{
    Frame frame;
    frame.number = ++m_summary.frames;
    frame.bytes.assign(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(length));
    frame.start = m_times.front();
    frame.end = m_times[length - 1];
    if (m_lastEnd)
        frame.gap = frame.start - *m_lastEnd;
    m_lastEnd = frame.end;
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(length));
    m_times.erase(m_times.begin(), m_times.begin() + static_cast<std::ptrdiff_t>(length));

    const auto& bytes = frame.bytes;
    frame.crcOk = codec::CrcRight(bytes);
    frame.slave = bytes[0];
    frame.function = bytes.size() > 1 ? bytes[1] : 0;
    if (!frame.crcOk)
        ++m_summary.crcErrors;
    if (!frame.crcOk || !kind) {
        out.push_back(std::move(frame));
        return;
    }
    const bool answersOutstanding = m_outstanding && m_outstanding->slave == frame.slave
                                    && m_outstanding->function == (frame.function & 0x7F);
    // A single write's reply is its request again: the one that follows it is the reply.
    const bool singleWriteEcho = (frame.function == 0x05 || frame.function == 0x06) && answersOutstanding;
    frame.kind = singleWriteEcho ? FrameKind::Reply : *kind;

    if (frame.kind == FrameKind::Request) {
        frame.firstRegister = word(bytes, 2);
        frame.count = frame.function == 0x05 || frame.function == 0x06 ? 1 : word(bytes, 4);
        frame.commands = MatchCommands(bytes);
        ++m_summary.requests;
        if (m_outstanding)
            ++m_summary.unanswered;
        m_outstanding.reset();
        // A broadcast gets no reply.
        if (frame.slave != 0)
            m_outstanding = Outstanding{frame.number, frame.slave, frame.function, frame.commands};
    } else {
        if (frame.function & 0x80)
            frame.exception = bytes[2];
        if (answersOutstanding) {
            frame.answers = m_outstanding->number;
            if (!frame.exception)
                frame.energies = energies(bytes, m_outstanding->commands);
            ++m_summary.paired;
            m_outstanding.reset();
        }
    }
    out.push_back(std::move(frame));
}

} // namespace monitor
