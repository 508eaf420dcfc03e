#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// The meter family: its meter types, the commands each offers, the request and
// reply code tables, the frame kind of every pair and the line settings its
// meters take. Names are display texts, compared exactly and case-sensitively.
namespace catalogue {

namespace command {
inline constexpr std::string_view ReadEnergy = "Read Energy";
inline constexpr std::string_view ReadImportEnergy = "Read Import Energy";
inline constexpr std::string_view ReadExportEnergy = "Read Export Energy";
inline constexpr std::string_view ModifyMeterAddress = "Modify Meter Address";
inline constexpr std::string_view ModifyBaudRate = "Modify Baud Rate";
inline constexpr std::string_view ModifyParity = "Modify Parity";
inline constexpr std::string_view SetCt = "Set CT";
inline constexpr std::string_view SetTariff = "Set Tariff";
inline constexpr std::string_view SetTime = "Set Time";
} // namespace command

// The meter types in the order the meter type list offers them.
inline constexpr std::array<std::string_view, 11> MeterTypeNames = {
    "Tarvik CT", "Tarvik DC", "Morel-N", "Morel-K", "Pesca-N", "Pesca-K",
    "Corvi Link", "Corvi-R", "Lunet-K", "Ventra", "Morel Serial",
};

// What follows the request code in a request frame.
enum FrameKindValue : std::uint8_t {
    FrameKindUnknown = 0, // names outside the catalogue
    FrameKindRead = 1,    // nothing
    FrameKindRegister = 2, // one 16-bit register, or the time/tariff bytes
    FrameKindSingle = 3,  // one IEEE-754 single in two registers
};

struct CommandList {
    std::vector<std::string_view> commands;
    std::string_view defaultCommand;
};

struct CodePair {
    std::string_view request; // empty where no offered command uses the slot
    std::string_view reply;
};

// How a meter type keeps its energy registers.
enum class EnergyEncoding {
    None,            // no energy read offered
    Single,          // IEEE-754 single, kWh
    ScaledTenths,    // unsigned 32-bit integer, 0.1 kWh
    ScaledHundredths // unsigned 32-bit integer, 0.01 kWh
};

bool IsMeterType(std::string_view meterType);

// The commands of a meter type in list order, with the one selected by default.
std::optional<CommandList> CommandsOf(std::string_view meterType);

// Whether the meter type's list offers the command.
bool Offers(std::string_view meterType, std::string_view command);

// Column (1..10) of the code tables that serves a command.
std::optional<int> CodeSlot(std::string_view command);

// The request and expected reply codes of a pair; nullopt for unknown names.
std::optional<CodePair> Find_Code(std::string_view meterType, std::string_view command);

// Frame kind of a pair, 0 for names outside the catalogue.
std::uint8_t GetFrameKind(std::string_view meterType, std::string_view command);

EnergyEncoding EnergyEncodingOf(std::string_view meterType);

// The entries of the tariff boxes of the tariff schedule dialog.
std::vector<std::string_view> TariffChoices(std::string_view meterType);

// How many tariffs (T1..Tn) the meter type's schedule reports: 4, 2, or 0
// for a type without "Set Tariff".
int TariffCount(std::string_view meterType);

// Whether "Modify Baud Rate" may set the meter type to 1200 baud.
bool Takes1200Baud(std::string_view meterType);

// A baud rate the meters of the family take, with the parameter code
// "Modify Baud Rate" writes for it in each frame kind and its place in a
// sweep of the bus (1 is tried first: the most common rates first).
struct MeterBaud {
    int baud;
    int registerCode; // frame kind 2
    int singleCode;   // frame kind 3; 1200 only where Takes1200Baud
    int sweepRank;
};

// A parity and stop-bit pair the meters take, written as the parity dialog
// returns it, with the parameter code "Modify Parity" writes for it.
struct MeterFraming {
    std::string_view parity;   // "NONE", "EVEN", "ODD"
    std::string_view stopBits; // "1", "2"
    int code;
};

// The baud rates, slowest first, as the baud rate dialog lists them.
std::span<const MeterBaud> MeterBauds();

// The baud rates in the order a sweep of the bus tries them.
std::vector<int> SweepBauds();

// The parity and stop-bit pairs in code order, which is also the order a
// sweep tries them, the most common first.
std::span<const MeterFraming> MeterFramings();

// How many dialog values of the command are checked before its frame is
// built: 0 (reads, "Set Time", "Set Tariff"), 1 (address, baud rate) or
// 2 (parity and stop bits, CT1 and CT2).
int CheckedValueCount(std::string_view command);

} // namespace catalogue
