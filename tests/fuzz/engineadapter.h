#pragma once

#include "catalogue/catalogue.h"
#include "engine/parameters.h"
#include "engine/replyline.h"
#include "engine/resulttexts.h"
#include "engine/state.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The fuzz targets' only contact with ReplyLine, OperationState, AcceptParameter
// and ResultTexts: when their shapes change, this file is the one to adapt.
namespace fuzz {

inline constexpr int ReplyBufferSize = engine::RxBufferSize;

struct ParameterOutcome {
    bool accepted = false;
    int code = 0;
    std::string message;
    std::string caption;
};

// A parameter dialog's values for a write command, judged with the frame kind the lists give.
inline ParameterOutcome AcceptValues(std::string_view meterType, std::string_view command, std::string_view value1,
                                     std::string_view value2)
{
    engine::OperationState state;
    const auto v = engine::AcceptParameter(state, meterType, command, catalogue::GetFrameKind(meterType, command),
                                           value1, value2);
    return {v.accepted, v.code, v.message, v.caption};
}

struct Report {
    std::string message;
    std::string energy;
};

// The report of an accepted reply (at most ReplyBufferSize bytes); the rest of the
// buffer holds filler, as an earlier, longer reply would have left it.
inline Report ReportOf(std::string_view meterType, std::string_view command, std::span<const std::uint8_t> reply,
                       std::uint8_t filler)
{
    std::array<std::uint8_t, ReplyBufferSize> buffer;
    buffer.fill(filler);
    const auto n = std::min<std::size_t>(reply.size(), buffer.size());
    std::copy_n(reply.begin(), n, buffer.begin());
    const auto gathered = std::span<const std::uint8_t>(buffer).first(n);
    const engine::OperationState recorded;
    return {engine::ResultTexts(recorded, gathered, meterType, command).message, engine::EnergyText(gathered, meterType)};
}

// One reply line as the window drives it: requests, receive events, silences and time-outs.
class Line {
public:
    using Chunk = engine::ReplyLine::Chunk;
    using Verdict = engine::ReplyLine::Verdict;

    void send(std::string_view meterType, std::string_view command, std::uint8_t address)
    {
        const auto codes = catalogue::Find_Code(meterType, command);
        m_line.requestSent({std::string(meterType), std::string(command),
                            codes ? std::string(codes->reply) : std::string(), address});
    }
    Chunk receive(std::span<const std::uint8_t> bytes) { return m_line.received(bytes); }
    Verdict silence() { return m_line.silence().verdict; }
    void timeOut() { m_line.timedOut(); }

    bool awaiting() const { return m_line.awaitingReply(); }
    int rxCount() const { return static_cast<int>(m_line.gathered().size()); }
    // The reply gathered so far.
    std::span<const std::uint8_t> buffer() const { return m_line.gathered(); }
    std::uint8_t requestAddress() const { return m_line.operation().requestAddress; }
    const std::string& replyCode() const { return m_line.operation().replyCode; }

private:
    engine::ReplyLine m_line;
};

} // namespace fuzz
