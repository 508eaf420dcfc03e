#include "catalogue/catalogue.h"

#include <algorithm>

namespace catalogue {

namespace {

using namespace command;

constexpr int SlotCount = 10;

struct MeterRow {
    std::string_view name;
    std::vector<std::string_view> commands;
    std::string_view defaultCommand;
    std::array<CodePair, SlotCount> codes; // slot k at index k-1
    EnergyEncoding energy;
    bool fourTariffs;
};

// Code entries shared by several meter types.
constexpr CodePair ReadSingleEnergy{"010401560002", "010404"};
constexpr CodePair ReadScaledEnergy{"0103011E0002", "010304"};
constexpr CodePair WriteAddressSingle{"01100014000204", "011000140002"};
constexpr CodePair WriteBaudSingle{"0110001C000204", "0110001C000204"};
constexpr CodePair WriteParitySingle{"01100012000204", "011000120002"};
constexpr CodePair WriteAddressRegister{"0110000F000102", "0110000F0001"};
constexpr CodePair WriteBaudRegister{"0110F800000102", "0110F800000102"};
constexpr CodePair WriteTariff{"0110F700000F1E", "0110F700000F"};
constexpr CodePair WriteTime{"0110F000000408", "0110F0000004"};
constexpr CodePair None{};

using Codes = std::array<CodePair, SlotCount>;

constexpr Codes TarvikCodes{ReadSingleEnergy, None, WriteAddressSingle, WriteBaudSingle, WriteParitySingle};
constexpr Codes SingleBasicCodes{ReadSingleEnergy, None, WriteAddressSingle, WriteBaudSingle};
constexpr Codes SingleTariffTimeCodes{ReadSingleEnergy, None, WriteAddressSingle, WriteBaudSingle, WriteTariff, WriteTime};
constexpr Codes ScaledBasicCodes{ReadScaledEnergy, None, WriteAddressRegister, WriteBaudRegister};

const std::vector<std::string_view> TarvikCommands{ReadEnergy, ModifyBaudRate, ModifyMeterAddress, ModifyParity};
const std::vector<std::string_view> BasicCommands{ReadEnergy, ModifyBaudRate, ModifyMeterAddress};
const std::vector<std::string_view> TariffTimeCommands{ReadEnergy, SetTariff, SetTime, ModifyBaudRate, ModifyMeterAddress};

const std::vector<MeterRow>& rows()
{
    static const std::vector<MeterRow> table = [] {
        Codes morelK = ScaledBasicCodes;
        morelK[4] = {"0110F900000102", "0110F900000102"};
        Codes pescaN = SingleBasicCodes;
        pescaN[4] = WriteTariff;
        Codes morelN{None, None, {"0110F600000102", "0110F6000001"}, {"0110F800000102", "0110F8000001"}, WriteTariff, WriteTime};
        Codes corviLink = TarvikCodes;
        corviLink[5] = {"010400480002", "010404"};
        corviLink[6] = {"0104004A0002", "010404"};

        return std::vector<MeterRow>{
            {"Tarvik CT", TarvikCommands, ReadEnergy, TarvikCodes, EnergyEncoding::Single, false},
            {"Tarvik DC", TarvikCommands, ReadEnergy, TarvikCodes, EnergyEncoding::Single, false},
            {"Morel-N", {SetTariff, SetTime, ModifyBaudRate, ModifyMeterAddress}, SetTariff, morelN, EnergyEncoding::None, true},
            {"Morel-K", {ReadEnergy, ModifyBaudRate, ModifyMeterAddress, SetCt}, ReadEnergy, morelK, EnergyEncoding::ScaledTenths, false},
            {"Pesca-N", {ReadEnergy, ModifyBaudRate, ModifyMeterAddress, SetTariff}, ReadEnergy, pescaN, EnergyEncoding::Single, false},
            {"Pesca-K", BasicCommands, ReadEnergy, ScaledBasicCodes, EnergyEncoding::ScaledHundredths, false},
            {"Corvi Link", {ReadEnergy, ReadImportEnergy, ReadExportEnergy, ModifyBaudRate, ModifyMeterAddress, ModifyParity}, ReadEnergy, corviLink, EnergyEncoding::Single, false},
            {"Corvi-R", TariffTimeCommands, ReadEnergy, SingleTariffTimeCodes, EnergyEncoding::Single, true},
            {"Lunet-K", BasicCommands, ReadEnergy, SingleBasicCodes, EnergyEncoding::Single, false},
            {"Ventra", TarvikCommands, ReadEnergy, TarvikCodes, EnergyEncoding::Single, false},
            {"Morel Serial", TariffTimeCommands, ReadEnergy, SingleTariffTimeCodes, EnergyEncoding::Single, true},
        };
    }();
    return table;
}

const MeterRow* findRow(std::string_view meterType)
{
    const auto& table = rows();
    const auto it = std::find_if(table.begin(), table.end(), [&](const MeterRow& r) { return r.name == meterType; });
    return it == table.end() ? nullptr : &*it;
}

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), text) != names.end();
}

} // namespace

bool IsMeterType(std::string_view meterType)
{
    return findRow(meterType) != nullptr;
}

std::optional<CommandList> CommandsOf(std::string_view meterType)
{
    const auto* row = findRow(meterType);
    if (!row)
        return std::nullopt;
    return CommandList{row->commands, row->defaultCommand};
}

bool Offers(std::string_view meterType, std::string_view cmd)
{
    const auto* row = findRow(meterType);
    return row && std::find(row->commands.begin(), row->commands.end(), cmd) != row->commands.end();
}

std::optional<int> CodeSlot(std::string_view cmd)
{
    if (cmd == ReadEnergy)
        return 1;
    if (cmd == ModifyMeterAddress)
        return 3;
    if (cmd == ModifyBaudRate)
        return 4;
    if (isOneOf(cmd, {ModifyParity, SetCt, SetTariff}))
        return 5;
    if (isOneOf(cmd, {SetTime, ReadImportEnergy}))
        return 6;
    if (cmd == ReadExportEnergy)
        return 7;
    return std::nullopt;
}

std::optional<CodePair> Find_Code(std::string_view meterType, std::string_view cmd)
{
    const auto* row = findRow(meterType);
    const auto slot = CodeSlot(cmd);
    if (!row || !slot)
        return std::nullopt;
    return row->codes[static_cast<std::size_t>(*slot - 1)];
}

std::uint8_t GetFrameKind(std::string_view meterType, std::string_view cmd)
{
    if (isOneOf(cmd, {ReadEnergy, ReadImportEnergy, ReadExportEnergy}))
        return FrameKindRead;
    if (isOneOf(cmd, {ModifyBaudRate, ModifyMeterAddress, ModifyParity, SetCt})) {
        if (isOneOf(meterType, {"Tarvik DC", "Tarvik CT", "Pesca-N", "Lunet-K", "Ventra", "Corvi Link", "Corvi-R", "Morel Serial"}))
            return FrameKindSingle;
        if (isOneOf(meterType, {"Pesca-K", "Morel-K", "Morel-N"}))
            return FrameKindRegister;
        return FrameKindUnknown;
    }
    if (isOneOf(cmd, {SetTime, SetTariff}))
        return FrameKindRegister;
    return FrameKindUnknown;
}

EnergyEncoding EnergyEncodingOf(std::string_view meterType)
{
    const auto* row = findRow(meterType);
    return row ? row->energy : EnergyEncoding::None;
}

std::vector<std::string_view> TariffChoices(std::string_view meterType)
{
    const auto* row = findRow(meterType);
    if (row && row->fourTariffs)
        return {"NC", "T1", "T2", "T3", "T4"};
    return {"NC", "T1", "T2"};
}

} // namespace catalogue
