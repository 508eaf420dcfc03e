#include "probe.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "engine/replyvalidation.h"
#include "engine/requestframe.h"
#include "engine/resulttexts.h"

#include <map>

namespace cli {

namespace {

using catalogue::command::ReadEnergy;

std::vector<std::uint8_t> readFrame(std::string_view requestCode, std::uint8_t address)
{
    return engine::BuildRequestFrame(catalogue::FrameKindRead, ReadEnergy, requestCode, address, 0, {}, {});
}

} // namespace

std::vector<std::uint8_t> ProbeFrame(std::uint8_t address)
{
    return readFrame(catalogue::Find_Code("Tarvik CT", ReadEnergy)->request, address);
}

bool AnswerFrom(const serial::ExchangeResult &result, std::uint8_t address)
{
    using End = serial::ExchangeResult::End;
    const auto &reply = result.reply;
    if ((result.end != End::Complete && result.end != End::Silence) || reply.size() < 4 || reply[0] != address)
        return false;
    const auto crc = codec::ComputeCrc16(reply, static_cast<int>(reply.size()) - 2);
    return reply[reply.size() - 2] == (crc & 0xFF) && reply[reply.size() - 1] == ((crc >> 8) & 0xFF);
}

Identity Identify(LineSession &session, std::uint8_t address, const serial::ExchangeResult &probeReply)
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
        const auto result = frame == probe ? probeReply : session.exchange(frame);
        const auto &first = typesByRead[code].front();
        const std::string replyCode(catalogue::Find_Code(first, ReadEnergy)->reply);
        if (!engine::ValidateReply(result.reply, static_cast<int>(result.reply.size()), address, replyCode))
            continue;
        identity.answersRead = true;
        for (const auto &meter : typesByRead[code])
            identity.types.emplace_back(meter, engine::EnergyText(result.reply, meter));
    }
    if (!identity.answersRead)
        for (const auto &meter : withoutRead)
            identity.types.emplace_back(meter, std::string());
    return identity;
}

} // namespace cli
