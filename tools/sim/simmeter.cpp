#include "simmeter.h"

#include "catalogue/catalogue.h"
#include "codec/bcd.h"
#include "codec/hexcode.h"
#include "codec/single.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {

namespace cmd = catalogue::command;

// Baud rate codes of the single-register meters (index = code); 1200 only where the type has it.
constexpr std::array<int, 6> SingleBaudCodes = {2400, 4800, 9600, 19200, 38400, 1200};
// Baud rate codes of the plain-register meters (index + 1 = code).
constexpr std::array<int, 6> RegisterBaudCodes = {1200, 2400, 4800, 9600, 19200, 38400};

struct Framing {
    Parity parity;
    StopBits stopBits;
    const char* text;
};
// Parity codes: 8N1, 8E1, 8O1, 8N2.
constexpr std::array<Framing, 4> ParityCodes = {{
    {Parity::None, StopBits::One, "NONE, stop bits 1"},
    {Parity::Even, StopBits::One, "EVEN, stop bits 1"},
    {Parity::Odd, StopBits::One, "ODD, stop bits 1"},
    {Parity::None, StopBits::Two, "NONE, stop bits 2"},
}};

constexpr std::array<const char*, 27> CtPrimaries = {
    "5",    "50",   "60",   "75",   "100",  "125",  "150",  "200",  "250",  "300",  "400",  "500",  "600", "750",
    "800",  "1000", "1200", "1250", "1500", "2000", "2400", "2500", "3000", "4000", "5000", "6000", "7500",
};

// The simulator keeps its own tables of what the meters take (baud and parity
// codes, CT ratios, the 1200-baud types) instead of asking the tool's catalogue,
// so that a wrong entry there shows as a disagreement in the tests.
bool hasSlowestBaud(std::string_view meterType)
{
    return meterType == "Morel Serial" || meterType == "Lunet-K";
}

std::optional<int> baudOfCode(std::string_view meterType, bool single, long code)
{
    if (single) {
        if (code < 0 || code >= static_cast<long>(SingleBaudCodes.size()))
            return std::nullopt;
        if (SingleBaudCodes[static_cast<std::size_t>(code)] == 1200 && !hasSlowestBaud(meterType))
            return std::nullopt;
        return SingleBaudCodes[static_cast<std::size_t>(code)];
    }
    if (code < 1 || code > static_cast<long>(RegisterBaudCodes.size()))
        return std::nullopt;
    return RegisterBaudCodes[static_cast<std::size_t>(code - 1)];
}

int codeOfBaud(std::string_view meterType, bool single, int baud)
{
    for (int code = 0; code <= 6; ++code)
        if (baudOfCode(meterType, single, code) == baud)
            return code;
    return 0;
}

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

std::string hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

std::uint16_t wordAt(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

void putWords(std::map<std::uint16_t, std::uint16_t>& regs, std::uint16_t start, std::span<const std::uint8_t> lineOrder)
{
    for (std::size_t i = 0; i + 1 < lineOrder.size(); i += 2)
        regs[static_cast<std::uint16_t>(start + i / 2)] = wordAt(lineOrder, i);
}

std::array<std::uint8_t, 4> scaledBytes(std::uint32_t v)
{
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

// The value of a single in two registers as a whole number, if it is one.
std::optional<long> wholeSingle(std::span<const std::uint8_t, 4> lineOrder)
{
    const float f = codec::SingleFromBytes(lineOrder);
    if (!std::isfinite(f) || f != std::floor(f) || std::fabs(f) > 1e6f)
        return std::nullopt;
    return static_cast<long>(f);
}

} // namespace

std::optional<SimMeter> SimMeter::Create(std::string_view meterType, std::uint8_t address, const EnergyValues& energy,
                                         const LineSettings& line, std::string& error)
{
    const auto commands = catalogue::CommandsOf(meterType);
    if (!commands) {
        error = "unknown meter type \"" + std::string(meterType) + "\"";
        return std::nullopt;
    }
    SimMeter meter;
    meter.m_type = std::string(meterType);
    meter.m_address = address;
    meter.m_line = line;
    const auto encoding = catalogue::EnergyEncodingOf(meterType);

    for (const auto command : commands->commands) {
        const auto codes = catalogue::Find_Code(meterType, command);
        if (!codes)
            continue;
        const auto code = codec::HexCodeToBytes(codes->request);
        if (code.size() < 6)
            continue;
        Block block{command, code[1], wordAt(code, 2), wordAt(code, 4), false};

        if (block.function == 0x03 || block.function == 0x04) {
            const double kwh = command == cmd::ReadImportEnergy   ? energy.importEnergy
                                : command == cmd::ReadExportEnergy ? energy.exportEnergy
                                                                   : energy.total;
            auto& regs = block.function == 0x03 ? meter.m_holding : meter.m_input;
            if (!std::isfinite(kwh) || kwh < 0) {
                error = "energies must be numbers of 0 kWh or more";
                return std::nullopt;
            }
            if (encoding == catalogue::EnergyEncoding::Single) {
                block.single = true;
                const float value = static_cast<float>(kwh);
                if (!std::isfinite(value)) {
                    error = "an energy of " + std::to_string(kwh) + " kWh does not fit a single";
                    return std::nullopt;
                }
                putWords(regs, block.start, codec::SingleToLineBytes(value));
            } else {
                const double scale = encoding == catalogue::EnergyEncoding::ScaledTenths ? 10.0 : 100.0;
                const double v = std::round(kwh * scale);
                if (v > 4294967295.0) {
                    error = "an energy of " + std::to_string(kwh) + " kWh does not fit the register of "
                            + meter.m_type;
                    return std::nullopt;
                }
                putWords(regs, block.start, scaledBytes(static_cast<std::uint32_t>(v)));
            }
        } else if (block.function == 0x10) {
            block.single = catalogue::GetFrameKind(meterType, command) == catalogue::FrameKindSingle;
            for (std::uint16_t i = 0; i < block.count; ++i) {
                meter.m_holding[static_cast<std::uint16_t>(block.start + i)] = 0;
                meter.m_writable.insert(static_cast<std::uint16_t>(block.start + i));
            }
            // The settings registers start out holding the meter's present settings.
            int present = -1;
            if (command == cmd::ModifyMeterAddress)
                present = address;
            else if (command == cmd::ModifyBaudRate)
                present = codeOfBaud(meterType, block.single, line.baud);
            else if (command == cmd::ModifyParity)
                for (std::size_t c = 0; c < ParityCodes.size(); ++c)
                    if (ParityCodes[c].parity == line.parity && ParityCodes[c].stopBits == line.stopBits)
                        present = static_cast<int>(c);
            if (present >= 0 && block.single) {
                const auto b = codec::ByteValueToSingleBytes(static_cast<std::int16_t>(present));
                const std::array<std::uint8_t, 4> lineOrder = {b[3], b[2], b[1], b[0]};
                putWords(meter.m_holding, block.start, lineOrder);
            } else if (present >= 0) {
                meter.m_holding[block.start] = static_cast<std::uint16_t>(present);
            }
        } else {
            continue;
        }
        meter.m_blocks.push_back(block);
    }
    return meter;
}

std::string SimMeter::name() const
{
    return m_type + "@" + std::to_string(m_address);
}

std::vector<std::uint8_t> SimMeter::ExceptionPdu(std::uint8_t function, std::uint8_t code)
{
    // An exception reply carries the function code with its high bit set.
    return {static_cast<std::uint8_t>(function | 0x80), code};
}

const SimMeter::Block* SimMeter::blockAt(std::uint8_t function, std::uint16_t reg) const
{
    for (const auto& block : m_blocks) {
        const bool sameSpace = block.function == function || (function == 0x03 && block.function == 0x10);
        if (sameSpace && reg >= block.start && reg < block.start + block.count)
            return &block;
    }
    return nullptr;
}

std::string SimMeter::describe(std::span<const std::uint8_t> pdu) const
{
    if (pdu.empty())
        return "empty request";
    const auto function = pdu[0];
    if ((function == 0x03 || function == 0x04 || function == 0x10) && pdu.size() >= 5) {
        const auto start = wordAt(pdu, 1);
        const auto count = wordAt(pdu, 3);
        std::string text = function == 0x03   ? "read holding "
                           : function == 0x04 ? "read input "
                                              : "write ";
        text += hex4(start) + " x" + std::to_string(count);
        const auto* block = blockAt(function, start);
        if (block && block->start == start && block->count == count)
            text += " (" + std::string(block->command) + ")";
        return text;
    }
    return "function " + hex2(function);
}

MeterAnswer SimMeter::answer(std::span<const std::uint8_t> pdu)
{
    if (pdu.empty())
        return {ExceptionPdu(0, IllegalFunction), "exception 1: empty request", {}};
    const auto function = pdu[0];
    if (function == 0x03 || function == 0x04)
        return read(function, pdu);
    if (function == 0x10)
        return write(pdu);
    return {ExceptionPdu(function, IllegalFunction), "exception 1: function " + hex2(function) + " not supported", {}};
}

MeterAnswer SimMeter::read(std::uint8_t function, std::span<const std::uint8_t> pdu) const
{
    const auto& regs = function == 0x03 ? m_holding : m_input;
    const char* space = function == 0x03 ? "holding" : "input";
    if (regs.empty())
        return {ExceptionPdu(function, IllegalFunction),
                "exception 1: " + m_type + " has no " + space + " registers", {}};
    if (pdu.size() != 5)
        return {ExceptionPdu(function, IllegalDataValue), "exception 3: malformed read", {}};
    const auto start = wordAt(pdu, 1);
    const auto count = wordAt(pdu, 3);
    // At most 125 registers fit one reply.
    if (count < 1 || count > 125)
        return {ExceptionPdu(function, IllegalDataValue),
                "exception 3: count " + std::to_string(count) + " outside 1..125", {}};
    for (unsigned i = 0; i < count; ++i) {
        const unsigned reg = start + i;
        if (reg > 0xFFFF || !regs.contains(static_cast<std::uint16_t>(reg)))
            return {ExceptionPdu(function, IllegalDataAddress),
                    "exception 2: no " + std::string(space) + " register " + hex4(reg), {}};
    }
    MeterAnswer result;
    result.pdu = {function, static_cast<std::uint8_t>(2 * count)};
    for (unsigned i = 0; i < count; ++i) {
        const auto value = regs.at(static_cast<std::uint16_t>(start + i));
        result.pdu.push_back(static_cast<std::uint8_t>(value >> 8));
        result.pdu.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    const auto* block = blockAt(function, start);
    if (block && block->start == start && block->count == count && block->function == function)
        result.what = energyText(*block);
    else
        result.what = std::to_string(count) + " " + space + " register(s) from " + hex4(start);
    return result;
}

std::string SimMeter::energyText(const Block& block) const
{
    const auto& regs = block.function == 0x03 ? m_holding : m_input;
    const auto hi = regs.at(block.start);
    const auto lo = regs.at(static_cast<std::uint16_t>(block.start + 1));
    const std::array<std::uint8_t, 4> b = {static_cast<std::uint8_t>(hi >> 8), static_cast<std::uint8_t>(hi),
                                           static_cast<std::uint8_t>(lo >> 8), static_cast<std::uint8_t>(lo)};
    const char* which = block.command == cmd::ReadImportEnergy   ? "import energy "
                        : block.command == cmd::ReadExportEnergy ? "export energy "
                                                                 : "total energy ";
    char text[64];
    if (block.single) {
        std::snprintf(text, sizeof text, "%.4f kWh", static_cast<double>(codec::SingleFromBytes(b)));
    } else {
        const std::uint32_t v = std::uint32_t{hi} << 16 | lo;
        const bool tenths = catalogue::EnergyEncodingOf(m_type) == catalogue::EnergyEncoding::ScaledTenths;
        std::snprintf(text, sizeof text, "%u (%.*f kWh)", v, tenths ? 1 : 2, v / (tenths ? 10.0 : 100.0));
    }
    return which + std::string(text);
}

MeterAnswer SimMeter::write(std::span<const std::uint8_t> pdu)
{
    constexpr std::uint8_t function = 0x10;
    if (m_writable.empty())
        return {ExceptionPdu(function, IllegalFunction), "exception 1: " + m_type + " has no writable registers", {}};
    if (pdu.size() < 6)
        return {ExceptionPdu(function, IllegalDataValue), "exception 3: malformed write", {}};
    const auto start = wordAt(pdu, 1);
    const auto count = wordAt(pdu, 3);
    const auto byteCount = pdu[5];
    // At most 123 registers fit one request, and the byte count must match the register count.
    if (count < 1 || count > 123 || byteCount != 2 * count || pdu.size() != 6u + byteCount)
        return {ExceptionPdu(function, IllegalDataValue),
                "exception 3: count " + std::to_string(count) + " with " + std::to_string(byteCount) + " data bytes",
                {}};
    for (unsigned i = 0; i < count; ++i) {
        const unsigned reg = start + i;
        if (reg > 0xFFFF || !m_writable.contains(static_cast<std::uint16_t>(reg)))
            return {ExceptionPdu(function, IllegalDataAddress), "exception 2: no writable register " + hex4(reg), {}};
    }

    auto updated = m_holding;
    putWords(updated, start, pdu.subspan(6, byteCount));

    MeterAnswer result;
    std::string meanings;
    for (const auto& block : m_blocks) {
        if (block.function != 0x10 || block.start + block.count <= start || block.start >= start + count)
            continue;
        std::string meaning;
        const auto refusal = checkValue(block, updated, meaning, result.change);
        if (!refusal.empty())
            return {ExceptionPdu(function, IllegalDataValue), "exception 3: " + refusal, {}};
        meanings += (meanings.empty() ? "" : "; ") + meaning;
    }
    m_holding = std::move(updated);
    // The write echo: function, register and count of the request.
    result.pdu = {function, pdu[1], pdu[2], pdu[3], pdu[4]};
    result.what = "stored " + std::to_string(count) + " register(s) from " + hex4(start);
    if (!meanings.empty())
        result.what += ": " + meanings;
    return result;
}

std::string SimMeter::checkValue(const Block& block, const std::map<std::uint16_t, std::uint16_t>& regs,
                                 std::string& meaning, SettingChange& change) const
{
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t i = 0; i < block.count; ++i) {
        const auto value = regs.at(static_cast<std::uint16_t>(block.start + i));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    std::optional<long> code;
    if (block.single && bytes.size() >= 4)
        code = wholeSingle(std::span<const std::uint8_t, 4>(bytes.data(), 4));
    else if (!bytes.empty())
        code = wordAt(bytes, 0);

    const auto& command = block.command;
    if (command == cmd::ModifyMeterAddress) {
        if (!code || *code < 1 || *code > 247)
            return "not a slave address 1..247";
        change.address = static_cast<std::uint8_t>(*code);
        meaning = "slave address " + std::to_string(*code) + " after this reply";
    } else if (command == cmd::ModifyBaudRate) {
        const auto baud = code ? baudOfCode(m_type, block.single, *code) : std::nullopt;
        if (!baud)
            return "not a baud rate code of " + m_type;
        change.baud = *baud;
        meaning = "baud rate " + std::to_string(*baud) + " after this reply";
    } else if (command == cmd::ModifyParity) {
        if (!code || *code < 0 || *code >= static_cast<long>(ParityCodes.size()))
            return "not a parity code 0..3";
        const auto& framing = ParityCodes[static_cast<std::size_t>(*code)];
        change.parity = framing.parity;
        change.stopBits = framing.stopBits;
        meaning = std::string("parity ") + framing.text + " after this reply";
    } else if (command == cmd::SetCt) {
        if (!code || *code < 0 || *code >= static_cast<long>(CtPrimaries.size()))
            return "not a CT ratio code 0..26";
        meaning = std::string("CT ratio ") + CtPrimaries[static_cast<std::size_t>(*code)] + "/5";
    } else if (command == cmd::SetTime && bytes.size() == 8) {
        // Second, minute, hour, weekday, day, month, year, century, each BCD.
        meaning = "clock " + codec::BcdText(bytes[7]) + codec::BcdText(bytes[6]) + "-" + codec::BcdText(bytes[5]) + "-" + codec::BcdText(bytes[4]) + " "
                  + codec::BcdText(bytes[2]) + ":" + codec::BcdText(bytes[1]) + ":" + codec::BcdText(bytes[0]);
    } else if (command == cmd::SetTariff && bytes.size() == 30) {
        // Ten slots of tariff number, minute, hour; tariff 0 leaves the slot unused.
        meaning = "tariff";
        for (std::size_t slot = 0; slot < 10; ++slot)
            if (bytes[slot * 3] != 0)
                meaning += " T" + std::to_string(bytes[slot * 3]) + " from " + codec::BcdText(bytes[slot * 3 + 2]) + ":"
                           + codec::BcdText(bytes[slot * 3 + 1]);
        if (meaning == "tariff")
            meaning += " schedule cleared";
    } else {
        meaning = std::string(command);
    }
    return {};
}

} // namespace sim
