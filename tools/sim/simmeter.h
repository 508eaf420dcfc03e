#pragma once

#include "simlink.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The energies every simulated meter counts, in kWh.
struct EnergyValues {
    double total = 1234.5677;
    double importEnergy = 100.25;
    double exportEnergy = 7.5;
};

// Settings a meter takes up only once its reply has left the line.
struct SettingChange {
    std::optional<std::uint8_t> address;
    std::optional<int> baud;
    std::optional<Parity> parity;
    std::optional<StopBits> stopBits;

    bool any() const { return address || baud || parity || stopBits; }
};

// What a meter does with one request.
struct MeterAnswer {
    std::vector<std::uint8_t> pdu; // function code and data of the reply, without address and CRC
    std::string what;              // for the log
    SettingChange change;
};

// Modbus exception codes.
enum ExceptionCode : std::uint8_t {
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    DeviceFailure = 4,
};

// One simulated meter: the registers its type really has (those its commands
// read and write) and its own line settings, answering the requests addressed to it.
class SimMeter {
public:
    // nullopt with a reason when the type is unknown or an energy does not fit its encoding.
    static std::optional<SimMeter> Create(std::string_view meterType, std::uint8_t address,
                                          const EnergyValues& energy, const LineSettings& line,
                                          std::string& error);

    const std::string& type() const { return m_type; }
    std::uint8_t address() const { return m_address; }
    std::string name() const; // "Tarvik CT@1"
    void setAddress(std::uint8_t address) { m_address = address; }
    const LineSettings& line() const { return m_line; }
    void setLine(const LineSettings& line) { m_line = line; }

    // Carries out a request PDU (function code and data) and says how to answer it.
    MeterAnswer answer(std::span<const std::uint8_t> pdu);

    // What the request PDU asks for, without carrying it out.
    std::string describe(std::span<const std::uint8_t> pdu) const;

    // The exception reply PDU for a function code.
    static std::vector<std::uint8_t> ExceptionPdu(std::uint8_t function, std::uint8_t code);

private:
    // A register block one command of the type reads or writes.
    struct Block {
        std::string_view command;
        std::uint8_t function = 0; // 0x03, 0x04 or 0x10 as the command uses it
        std::uint16_t start = 0;
        std::uint16_t count = 0;
        bool single = false; // the value is an IEEE-754 single in two registers
    };

    SimMeter() = default;
    MeterAnswer read(std::uint8_t function, std::span<const std::uint8_t> pdu) const;
    MeterAnswer write(std::span<const std::uint8_t> pdu);
    const Block* blockAt(std::uint8_t function, std::uint16_t reg) const;
    // A block's value as it would be with the given registers; empty text when acceptable.
    std::string checkValue(const Block& block, const std::map<std::uint16_t, std::uint16_t>& regs,
                           std::string& meaning, SettingChange& change) const;
    std::string energyText(const Block& block) const;

    std::string m_type;
    std::uint8_t m_address = 1;
    LineSettings m_line;
    std::vector<Block> m_blocks;
    std::map<std::uint16_t, std::uint16_t> m_holding; // read with 0x03; the written ones too
    std::map<std::uint16_t, std::uint16_t> m_input;   // read with 0x04
    std::set<std::uint16_t> m_writable;
};

} // namespace sim
