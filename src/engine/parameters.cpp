#include "engine/parameters.h"

#include "catalogue/catalogue.h"
#include "engine/addressrule.h"
#include "engine/numbertext.h"

#include <algorithm>
#include <array>
#include <string>

namespace engine {

namespace {

using namespace catalogue::command;

constexpr std::array<std::string_view, 27> Ct1Table{
    "5", "50", "60", "75", "100", "125", "150", "200", "250", "300", "400", "500", "600", "750",
    "800", "1000", "1200", "1250", "1500", "2000", "2400", "2500", "3000", "4000", "5000", "6000", "7500",
};

ParameterVerdict refuse(std::string message, std::string caption)
{
    return {false, 0, std::move(message), std::move(caption)};
}

ParameterVerdict accept(int code)
{
    return {true, code, {}, {}};
}

ParameterVerdict acceptAddress(OperationState& state, std::string_view text)
{
    const double a = RoundHalfEven(LeadingNumber(text));
    if (a < LowestMeterAddress || a > HighestAddress)
        return refuse(std::string(AddressRangeMessage), std::string(InputErrorCaption));
    state.NewAddress = static_cast<std::int16_t>(a);
    return accept(state.NewAddress);
}

ParameterVerdict acceptBaud(OperationState& state, std::string_view meterType, std::uint8_t kind, std::string_view text)
{
    // The dialog's text exactly: no blanks, no leading zeros.
    const auto bauds = catalogue::MeterBauds();
    const auto it = std::find_if(bauds.begin(), bauds.end(),
                                 [&](const catalogue::MeterBaud& b) { return std::to_string(b.baud) == text; });
    int code = -1;
    if (it != bauds.end()) {
        if (kind == catalogue::FrameKindRegister)
            code = it->registerCode;
        else if (kind == catalogue::FrameKindSingle)
            code = (it->baud != 1200 || catalogue::Takes1200Baud(meterType)) ? it->singleCode : -1;
    }
    if (code < 0)
        return refuse("Invalid Baud Rate, please try again!", "ERROR");
    state.NewBaudText = std::string(text);
    return accept(code);
}

ParameterVerdict acceptParity(OperationState& state, std::string_view parity, std::string_view stopBits)
{
    const auto pairs = catalogue::MeterFramings();
    const auto it = std::find_if(pairs.begin(), pairs.end(), [&](const catalogue::MeterFraming& p) {
        return p.parity == parity && p.stopBits == stopBits;
    });
    if (it == pairs.end())
        return refuse("Invalid Parity, please try again!", "ERROR");
    state.NewParityText = std::string(parity);
    state.NewStopBitsText = std::string(stopBits);
    return accept(it->code);
}

ParameterVerdict acceptCt(OperationState& state, std::string_view ct1, std::string_view ct2)
{
    if (LeadingNumber(ct2) != 5.0)
        return refuse("Invalid CT2 data, please try again!", "ERROR");
    state.NewCt2Text = std::string(ct2);
    const auto it = std::find(Ct1Table.begin(), Ct1Table.end(), ct1);
    if (it == Ct1Table.end())
        return refuse("Invalid CT1 data, please try again!", "ERROR");
    state.NewCt1Text = std::string(ct1);
    return accept(static_cast<int>(it - Ct1Table.begin()));
}

} // namespace

ParameterVerdict AcceptParameter(OperationState& state, std::string_view meterType, std::string_view command,
                                 std::uint8_t frameKind, std::string_view value1, std::string_view value2)
{
    if (command == ModifyMeterAddress)
        return acceptAddress(state, value1);
    if (command == ModifyBaudRate)
        return acceptBaud(state, meterType, frameKind, value1);
    if (command == ModifyParity)
        return acceptParity(state, value1, value2);
    if (command == SetCt)
        return acceptCt(state, value1, value2);
    // Reads, "Set Time" and "Set Tariff" carry no checked parameter.
    return accept(0);
}

} // namespace engine
