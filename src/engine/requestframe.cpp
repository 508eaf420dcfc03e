#include "engine/requestframe.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "codec/hexcode.h"
#include "codec/single.h"

namespace engine {

namespace {
constexpr std::size_t MaxCodeBytes = 30;
}

std::vector<std::uint8_t> BuildRequestFrame(std::uint8_t frameKind, std::string_view command,
                                            std::string_view requestCode, std::uint8_t slaveAddress,
                                            int parameterCode, const TimeBytes& timeData,
                                            const TariffBytes& tariffData)
{
    auto frame = codec::HexCodeToBytes(requestCode);
    if (frame.empty() || frame.size() > MaxCodeBytes || frameKind == catalogue::FrameKindUnknown
        || frameKind > catalogue::FrameKindSingle)
        return {};

    frame[0] = slaveAddress; // the tables hold "01" in this place
    const auto code = static_cast<std::uint8_t>(parameterCode);
    if (frameKind == catalogue::FrameKindRegister) {
        if (command == catalogue::command::SetTime) {
            frame.insert(frame.end(), timeData.begin(), timeData.end());
        } else if (command == catalogue::command::SetTariff) {
            for (const auto& slot : tariffData) // per slot: tariff, minute, hour
                frame.insert(frame.end(), slot.begin(), slot.end());
        } else {
            frame.push_back(0); // one register, high byte first
            frame.push_back(code);
        }
    } else if (frameKind == catalogue::FrameKindSingle) {
        const auto single = codec::ByteValueToSingleBytes(code);
        frame.insert(frame.end(), {single[3], single[2], single[1], single[0]}); // most significant first
    }
    codec::AppendCrc16(frame);
    return frame;
}

} // namespace engine
