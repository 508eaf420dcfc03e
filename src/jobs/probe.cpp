#include "probe.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "engine/replyvalidation.h"
#include "engine/requestframe.h"
#include "engine/resulttexts.h"

#include <map>

namespace jobs {

namespace {

using catalogue::command::ReadEnergy;

// How many more times a read whose reply came garbled is asked.
constexpr int IdentifyAttempts = 2;

std::vector<std::uint8_t> readFrame(std::string_view requestCode, std::uint8_t address)
{
    return engine::BuildRequestFrame(catalogue::FrameKindRead, ReadEnergy, requestCode, address, 0, {}, {});
}

} // namespace

std::vector<std::uint8_t> ProbeFrame(std::uint8_t address)
{
    return readFrame(catalogue::Find_Code("Tarvik CT", ReadEnergy)->request, address);
}

Heard Classify(const serial::ExchangeResult &result, std::uint8_t address)
{
    using End = serial::ExchangeResult::End;
    const auto &reply = result.reply;
    switch (result.end) {
    case End::PortFailed: return Heard::PortFailed;
    case End::Aborted: return Heard::Interrupted;
    case End::Timeout:
        if (reply.empty())
            return Heard::Nothing;
        break;
    case End::Complete:
    case End::Silence: break;
    }
    if (result.echoed)
        return Heard::Echo;
    const bool whole = reply.size() >= 4 && codec::CrcRight(reply);
    if (!whole)
        return Heard::Garbled;
    if (reply[0] != address)
        return Heard::OtherAddress;
    // Exception 0A or 0B comes from a gateway that found no device there.
    if (reply.size() == 5 && (reply[1] & 0x80) && (reply[2] == 0x0A || reply[2] == 0x0B))
        return Heard::Nothing;
    return Heard::Answer;
}

Task<Identity> Identify(LineSession &session, std::uint8_t address, const serial::ExchangeResult &probeReply)
{
    // The meter types by the energy read they answer, in the meter type list's order.
    std::map<std::string, std::vector<std::string>> typesByRead;
    std::vector<std::string> readOrder;
    std::vector<std::string> withoutRead;
    for (const auto meter : catalogue::MeterTypeNames) {
        if (!catalogue::Offers(meter, ReadEnergy)) {
            withoutRead.emplace_back(meter);
            continue;
        }
        const std::string code(catalogue::Find_Code(meter, ReadEnergy)->request);
        if (!typesByRead.count(code))
            readOrder.push_back(code);
        typesByRead[code].emplace_back(meter);
    }

    Identity identity;
    const auto probe = ProbeFrame(address);
    for (const auto &code : readOrder) {
        // Answered with data, the probe's own read says which kind it is: no need to ask the other.
        if (identity.answersRead)
            break;
        const auto frame = readFrame(code, address);
        const auto &first = typesByRead[code].front();
        const std::string replyCode(catalogue::Find_Code(first, ReadEnergy)->reply);
        const auto judged = [&](const serial::ExchangeResult &result) {
            return engine::ValidateReply(result.reply, static_cast<int>(result.reply.size()), address, replyCode);
        };
        // A reply cut by noise says nothing of what the device is: it is asked
        // again, and only a whole exception frame counts as "no such read".
        serial::ExchangeResult result = probeReply;
        if (frame != probe)
            result = co_await session.exchange(frame);
        for (int attempt = 0; attempt < IdentifyAttempts && !judged(result) && Classify(result, address) != Heard::Answer;
             ++attempt) {
            if (result.end == serial::ExchangeResult::End::Aborted || result.end == serial::ExchangeResult::End::PortFailed)
                break;
            if (Classify(result, address) == Heard::Garbled)
                session.letSettle(session.timeout() * 2);
            result = co_await session.exchange(frame);
        }
        if (result.end == serial::ExchangeResult::End::Aborted) {
            identity.interrupted = true;
            co_return identity;
        }
        if (!judged(result))
            continue;
        identity.answersRead = true;
        for (const auto &meter : typesByRead[code])
            identity.types.emplace_back(meter, engine::EnergyText(result.reply, meter));
    }
    if (!identity.answersRead)
        for (const auto &meter : withoutRead)
            identity.types.emplace_back(meter, std::string());
    co_return identity;
}

} // namespace jobs
