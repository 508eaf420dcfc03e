#include "catalogue/catalogue.h"

#include <algorithm>

namespace catalogue {

namespace {

using namespace command;

constexpr int SlotCount = 10;

// Everything the family knows of one meter type; a new type is one row.
struct MeterRow {
    std::string_view name;
    std::vector<std::string_view> commands;
    std::string_view defaultCommand;
    std::array<CodePair, SlotCount> codes; // slot k at index k-1
    EnergyEncoding energy;
    std::uint8_t settingsKind; // frame kind of its address, baud, parity and CT writes
    int tariffs;               // T1..Tn of its schedule, 0 without one
    bool takes1200Baud;
};

// What kind of value a command carries.
enum class CommandKind { Read, Setting, Time, Tariff };

struct CommandRow {
    std::string_view name;
    int slot;          // column of the code tables
    CommandKind kind;
    int checkedValues; // dialog values checked before the frame is built
};

constexpr std::array<CommandRow, 9> CommandRows{{
    {ReadEnergy, 1, CommandKind::Read, 0},
    {ModifyMeterAddress, 3, CommandKind::Setting, 1},
    {ModifyBaudRate, 4, CommandKind::Setting, 1},
    {ModifyParity, 5, CommandKind::Setting, 2},
    {SetCt, 5, CommandKind::Setting, 2},
    {SetTariff, 5, CommandKind::Tariff, 0},
    {SetTime, 6, CommandKind::Time, 0},
    {ReadImportEnergy, 6, CommandKind::Read, 0},
    {ReadExportEnergy, 7, CommandKind::Read, 0},
}};

const CommandRow* findCommand(std::string_view name)
{
    const auto it = std::find_if(CommandRows.begin(), CommandRows.end(), [&](const CommandRow& c) { return c.name == name; });
    return it == CommandRows.end() ? nullptr : &*it;
}

// baud, register code, single code, sweep rank
constexpr std::array<MeterBaud, 6> BaudRows{{
    {1200, 1, 5, 6},
    {2400, 2, 0, 5},
    {4800, 3, 1, 4},
    {9600, 4, 2, 1},
    {19200, 5, 3, 2},
    {38400, 6, 4, 3},
}};

// parity, stop bits, code; the most common first
constexpr std::array<MeterFraming, 4> FramingRows{{
    {"NONE", "1", 0},
    {"EVEN", "1", 1},
    {"ODD", "1", 2},
    {"NONE", "2", 3},
}};

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

        constexpr auto Single = FrameKindSingle;
        constexpr auto Register = FrameKindRegister;
        // name, commands, default, codes, energy, settings kind, tariffs, 1200 baud
        return std::vector<MeterRow>{
            {"Tarvik CT", TarvikCommands, ReadEnergy, TarvikCodes, EnergyEncoding::Single, Single, 0, false},
            {"Tarvik DC", TarvikCommands, ReadEnergy, TarvikCodes, EnergyEncoding::Single, Single, 0, false},
            {"Morel-N", {SetTariff, SetTime, ModifyBaudRate, ModifyMeterAddress}, SetTariff, morelN, EnergyEncoding::None, Register, 4, true},
            {"Morel-K", {ReadEnergy, ModifyBaudRate, ModifyMeterAddress, SetCt}, ReadEnergy, morelK, EnergyEncoding::ScaledTenths, Register, 0, true},
            {"Pesca-N", {ReadEnergy, ModifyBaudRate, ModifyMeterAddress, SetTariff}, ReadEnergy, pescaN, EnergyEncoding::Single, Single, 2, false},
            {"Pesca-K", BasicCommands, ReadEnergy, ScaledBasicCodes, EnergyEncoding::ScaledHundredths, Register, 0, true},
            {"Corvi Link", {ReadEnergy, ReadImportEnergy, ReadExportEnergy, ModifyBaudRate, ModifyMeterAddress, ModifyParity}, ReadEnergy, corviLink, EnergyEncoding::Single, Single, 0, false},
            {"Corvi-R", TariffTimeCommands, ReadEnergy, SingleTariffTimeCodes, EnergyEncoding::Single, Single, 4, false},
            {"Lunet-K", BasicCommands, ReadEnergy, SingleBasicCodes, EnergyEncoding::Single, Single, 0, true},
            {"Ventra", TarvikCommands, ReadEnergy, TarvikCodes, EnergyEncoding::Single, Single, 0, false},
            {"Morel Serial", TariffTimeCommands, ReadEnergy, SingleTariffTimeCodes, EnergyEncoding::Single, Single, 4, true},
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
    const auto* row = findCommand(cmd);
    return row ? std::optional<int>(row->slot) : std::nullopt;
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
    const auto* command = findCommand(cmd);
    if (!command)
        return FrameKindUnknown;
    switch (command->kind) {
    case CommandKind::Read:
        return FrameKindRead;
    case CommandKind::Setting: {
        const auto* row = findRow(meterType);
        return row ? row->settingsKind : static_cast<std::uint8_t>(FrameKindUnknown);
    }
    case CommandKind::Time:
    case CommandKind::Tariff:
        return FrameKindRegister;
    }
    return FrameKindUnknown;
}

EnergyEncoding EnergyEncodingOf(std::string_view meterType)
{
    const auto* row = findRow(meterType);
    return row ? row->energy : EnergyEncoding::None;
}

std::vector<std::string_view> TariffChoices(std::string_view meterType)
{
    // Types with four tariffs offer T3 and T4 too; every other type lists two.
    if (TariffCount(meterType) == 4)
        return {"NC", "T1", "T2", "T3", "T4"};
    return {"NC", "T1", "T2"};
}

int TariffCount(std::string_view meterType)
{
    const auto* row = findRow(meterType);
    return row ? row->tariffs : 0;
}

bool Takes1200Baud(std::string_view meterType)
{
    const auto* row = findRow(meterType);
    return row && row->takes1200Baud;
}

std::span<const MeterBaud> MeterBauds()
{
    return BaudRows;
}

std::vector<int> SweepBauds()
{
    auto ranked = BaudRows;
    std::sort(ranked.begin(), ranked.end(), [](const MeterBaud& a, const MeterBaud& b) { return a.sweepRank < b.sweepRank; });
    std::vector<int> bauds;
    for (const auto& b : ranked)
        bauds.push_back(b.baud);
    return bauds;
}

std::span<const MeterFraming> MeterFramings()
{
    return FramingRows;
}

int CheckedValueCount(std::string_view cmd)
{
    const auto* row = findCommand(cmd);
    return row ? row->checkedValues : 0;
}

} // namespace catalogue
