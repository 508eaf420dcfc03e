// Reply judgement: arbitrary reply bytes against every meter type, command and
// request address, then the report of what was accepted.
//
// Input: meter type, command, request address, switches, then the reply bytes
// (at most the 30 of the reply buffer). Switch bit 0 makes the last two bytes
// the reply's CRC, bit 1 puts the request address in front.

#include "engineadapter.h"
#include "fuzzsupport.h"

#include "catalogue/catalogue.h"
#include "codec/hexcode.h"
#include "engine/replyvalidation.h"

#include <array>
#include <memory>

namespace {

using fuzz::Require;

// A scaled energy reads as whole units, a point and the one or two decimals of its scale.
bool IsScaledText(std::string_view text, std::size_t decimals)
{
    const auto point = text.find('.');
    if (point == std::string_view::npos || point == 0 || text.size() - point - 1 != decimals)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i != point && (text[i] < '0' || text[i] > '9'))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteReader in({data, size});
    const auto meterType = in.meterType();
    const auto command = in.command();
    const std::uint8_t address = in.byte();
    const std::uint8_t switches = in.byte();
    const auto body = in.take(fuzz::ReplyBufferSize);

    std::vector<std::uint8_t> reply(body.begin(), body.end());
    if ((switches & 0x02) && !reply.empty())
        reply[0] = address;
    if (switches & 0x01)
        fuzz::FixCrc(reply);
    const int n = static_cast<int>(reply.size());

    const auto codes = catalogue::Find_Code(meterType, command);
    const std::string_view replyCode = codes ? codes->reply : std::string_view();

    // Exactly the received bytes on the heap, so that the sanitizer sees a read past them.
    const auto exact = std::make_unique<std::uint8_t[]>(reply.size());
    std::copy(reply.begin(), reply.end(), exact.get());
    const bool accepted = engine::ValidateReply({exact.get(), reply.size()}, n, address, replyCode);

    // The reply buffer as the window keeps it: what lies past the reply must not count.
    for (const std::uint8_t filler : {0x00, 0xFF}) {
        std::array<std::uint8_t, fuzz::ReplyBufferSize> buffer;
        buffer.fill(filler);
        std::copy(reply.begin(), reply.end(), buffer.begin());
        Require(engine::ValidateReply(buffer, n, address, replyCode) == accepted,
                "the verdict depends on bytes past the reply");
    }
    Require(!engine::ValidateReply({exact.get(), reply.size()}, n + 1, address, replyCode),
            "a count beyond the bytes given is accepted");
    Require(!engine::ValidateReply({exact.get(), reply.size()}, -1, address, replyCode),
            "a negative count is accepted");

    if (!accepted)
        return 0;

    Require(n <= fuzz::ReplyBufferSize, "an accepted reply is longer than the reply buffer");
    Require(reply[0] == address, "an accepted reply comes from another slave address");
    Require(fuzz::HasValidCrc(reply), "an accepted reply has a wrong CRC (low byte first)");
    const std::uint8_t function = reply[1];
    Require(function == 0x03 || function == 0x04 || function == 0x10, "an accepted reply is not a read or write reply");
    if (function == 0x10) {
        Require(n >= 8, "an accepted write echo is short of register and count");
        for (int k = 2; k <= 6; ++k)
            Require(reply[static_cast<std::size_t>(k - 1)] == codec::HexCodeByte(replyCode, k),
                    "an accepted write echo differs from the reply code");
    } else {
        // The energy comes from the four bytes before the CRC: they must be register data.
        Require(n >= 9 && reply[2] == n - 5, "an accepted read reply's byte count does not cover its data");
    }

    const auto first = fuzz::ReportOf(meterType, command, reply, 0x00);
    const auto second = fuzz::ReportOf(meterType, command, reply, 0xFF);
    Require(first.message == second.message && first.energy == second.energy,
            "the report depends on bytes past the reply");
    if (catalogue::Offers(meterType, command))
        Require(first.message.starts_with(command), "an accepted reply of an offered command has no report");

    switch (catalogue::EnergyEncodingOf(meterType)) {
    case catalogue::EnergyEncoding::ScaledTenths:
        Require(IsScaledText(first.energy, 1), "a tenths energy is not written with one decimal");
        break;
    case catalogue::EnergyEncoding::ScaledHundredths:
        Require(IsScaledText(first.energy, 2), "a hundredths energy is not written with two decimals");
        break;
    case catalogue::EnergyEncoding::Single:
        Require(!first.energy.empty(), "a single energy has no text");
        break;
    case catalogue::EnergyEncoding::None:
        Require(first.energy.empty(), "a meter without energy reads one");
        break;
    }
    return 0;
}
