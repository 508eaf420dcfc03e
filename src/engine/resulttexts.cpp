#include "engine/resulttexts.h"

#include "catalogue/catalogue.h"
#include "codec/single.h"

#include <array>
#include <charconv>
#include <cmath>

namespace engine {

namespace {

using namespace catalogue::command;

constexpr std::string_view Success = " operation success! ";
constexpr std::string_view LineBreak = "\r\n";

// The four bytes before the CRC; 0 for any the reply does not have.
std::array<std::uint8_t, 4> energyBytes(std::span<const std::uint8_t> reply)
{
    std::array<std::uint8_t, 4> b{};
    const auto count = static_cast<std::ptrdiff_t>(reply.size());
    for (std::ptrdiff_t i = 0; i < 4; ++i) {
        const std::ptrdiff_t offset = count - 6 + i;
        if (offset >= 0 && offset < count)
            b[static_cast<std::size_t>(i)] = reply[static_cast<std::size_t>(offset)];
    }
    return b;
}

std::string scaledText(std::uint32_t v, std::uint32_t divisor)
{
    const auto fraction = std::to_string(v % divisor);
    const auto width = divisor == 100 ? 2u : 1u;
    return std::to_string(v / divisor) + "." + std::string(width - fraction.size(), '0') + fraction;
}

// The number pattern "0.0000": four decimals, a tie rounded away from zero
// (1234.03125 is 1234.0313), always with a point whatever the desktop's locale.
std::string singleText(float x)
{
    char text[96];
    const double value = static_cast<double>(x);
    if (!std::isfinite(value)) {
        const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
        return std::string(text, result.ptr);
    }
    // A single has 24 significant bits and 10000 needs 14, so the product is
    // exact in a double and std::round sees the true tie.
    const double tenThousandths = std::round(std::fabs(value) * 10000.0);
    const auto result = std::to_chars(text, text + sizeof text, tenThousandths, std::chars_format::fixed, 0);
    if (result.ec != std::errc())
        return "?";
    std::string digits(text, result.ptr);
    if (digits.size() < 5)
        digits.insert(0, 5 - digits.size(), '0');
    digits.insert(digits.size() - 4, 1, '.');
    return (std::signbit(value) ? "-" : "") + digits;
}

// The number-to-text conversion of the report puts a blank before a number
// that is not negative.
std::string addressText(std::int16_t address)
{
    return (address < 0 ? "" : " ") + std::to_string(address);
}

ResultText report(std::string_view command, const std::string& detail, bool valueOnNewLine = false)
{
    std::string message = std::string(command) + std::string(Success);
    if (valueOnNewLine)
        message += LineBreak;
    return {message + detail, detail};
}

} // namespace

std::string EnergyText(std::span<const std::uint8_t> reply, std::string_view meterType)
{
    const auto b = energyBytes(reply);
    switch (catalogue::EnergyEncodingOf(meterType)) {
    case catalogue::EnergyEncoding::ScaledTenths:
    case catalogue::EnergyEncoding::ScaledHundredths: {
        // Unsigned: the register pair holds 0 .. 2^32-1 hundredths or tenths.
        const std::uint32_t v = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16)
                                | (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
        return scaledText(v, catalogue::EnergyEncodingOf(meterType) == catalogue::EnergyEncoding::ScaledTenths ? 10 : 100);
    }
    case catalogue::EnergyEncoding::Single:
        return singleText(codec::SingleFromBytes(b));
    case catalogue::EnergyEncoding::None:
        break;
    }
    return {};
}

ResultText ResultTexts(const OperationState& state, std::span<const std::uint8_t> reply, std::string_view meterType,
                       std::string_view command)
{
    const auto m = meterType;
    if (command == ModifyMeterAddress)
        return report(command, "Meter Address is " + addressText(state.NewAddress) + ".");
    if (command == SetTime)
        return report(command, "System date and time is " + state.SetDateText + "  " + state.SetTimeText + ".");
    if (command == SetTariff && catalogue::TariffCount(m) == 4)
        return report(command, "Tariff is " + state.TariffSummaryT1 + state.TariffSummaryT2 + state.TariffSummaryT3
                                   + state.TariffSummaryT4);
    if (command == SetTariff && catalogue::TariffCount(m) == 2)
        return report(command, "Tariff is " + state.TariffSummaryT1 + state.TariffSummaryT2);
    if (command == ModifyBaudRate)
        return report(command, "Baud Rate is " + state.NewBaudText + ".");
    if (command == ModifyParity)
        return report(command, "Parity is " + state.NewParityText + "." + " Stop Bit is " + state.NewStopBitsText + ".");

    const auto encoding = catalogue::EnergyEncodingOf(m);
    const bool scaled = encoding == catalogue::EnergyEncoding::ScaledTenths
                        || encoding == catalogue::EnergyEncoding::ScaledHundredths;
    if (command == ReadEnergy && scaled)
        return report(command, "Current Energy is " + EnergyText(reply, m) + " KWh.", true);
    if (encoding == catalogue::EnergyEncoding::Single) {
        if (command == ReadEnergy)
            return report(command, "Current Energy is " + EnergyText(reply, m) + " KWh.", true);
        if (command == ReadImportEnergy)
            return report(command, "Current Import Energy is " + EnergyText(reply, m) + " KWh.", true);
        if (command == ReadExportEnergy)
            return report(command, "Current Export Energy is " + EnergyText(reply, m) + " KWh.", true);
    }
    if (command == SetCt)
        return report(command, "Current CT Ratio is " + state.NewCt1Text + "/" + state.NewCt2Text + ".");
    return {};
}

} // namespace engine
