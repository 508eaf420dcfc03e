#pragma once

#include "catalogue/catalogue.h"
#include "engine/parameters.h"
#include "engine/replyline.h"
#include "engine/resulttexts.h"
#include "engine/state.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The fuzz targets' only contact with ReplyLine, OperationState, AcceptParameter
// and ResultTexts, whose shapes are changing: when they change, adapt this file.
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
    engine::OperationState state;
    state.RxBuffer.fill(filler);
    const auto n = std::min<std::size_t>(reply.size(), state.RxBuffer.size());
    std::copy_n(reply.begin(), n, state.RxBuffer.begin());
    state.RxCount = static_cast<std::int16_t>(n);
    return {engine::ResultTexts(state, meterType, command).message, engine::EnergyText(state, meterType)};
}

// One reply line as the window drives it: requests, receive events, silences and time-outs.
class Line {
public:
    using Chunk = engine::ReplyLine::Chunk;
    using Verdict = engine::ReplyLine::Verdict;

    void send(std::string_view meterType, std::string_view command, std::uint8_t address)
    {
        const auto codes = catalogue::Find_Code(meterType, command);
        m_state.ReplyCode = codes ? std::string(codes->reply) : std::string();
        m_state.RequestAddress = address;
        m_line.requestSent(m_state, {std::string(meterType), std::string(command), m_state.ReplyCode});
    }
    Chunk receive(std::span<const std::uint8_t> bytes) { return m_line.received(m_state, bytes); }
    Verdict silence() { return m_line.silence(m_state); }
    void timeOut() { m_line.timedOut(m_state); }

    bool awaiting() const { return m_state.AwaitingReply == 1; }
    int rxCount() const { return m_state.RxCount; }
    // The whole reply buffer; its first rxCount() bytes are the reply gathered so far.
    std::span<const std::uint8_t> buffer() const { return m_state.RxBuffer; }
    std::uint8_t requestAddress() const { return m_state.RequestAddress; }
    const std::string& replyCode() const { return m_line.operation().replyCode; }

private:
    engine::OperationState m_state;
    engine::ReplyLine m_line;
};

} // namespace fuzz
