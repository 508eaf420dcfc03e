// The operator's texts: the address box, the parameter dialogs' values, the
// date and time, the tariff schedule boxes and texts, and the code tables' hex.
// Texts are arbitrary bytes, invalid UTF-8 included.
//
// Input: a selector byte (taken modulo 8), then its arguments; where a check
// takes several texts they are separated by line feeds.
//   0 address box text
//   1 meter type, command, then value 1 LF value 2 of the parameter dialog
//   2 date LF time of the date and time dialog
//   3 the time box's previous error flag (bit 0), then its text
//   4 slot (signed), then up to ten tariff texts
//   5 switches (bit 0: flags from the boxes' own checks), then the flags
//     (bit 0 of each of 20 bytes), ten tariff texts and ten time texts
//   6 a tariff schedule text
//   7 pair number k (signed), meter type, command, address, parameter code, then a code text

#include "engineadapter.h"
#include "fuzzsupport.h"

#include "catalogue/catalogue.h"
#include "codec/hexcode.h"
#include "engine/addressrule.h"
#include "engine/numbertext.h"
#include "engine/requestframe.h"
#include "engine/tariffschedule.h"
#include "engine/timeentry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

using fuzz::Require;
namespace cmd = catalogue::command;

std::string_view asText(std::span<const std::uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::vector<std::string_view> fields(std::string_view text)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find('\n', start);
        out.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return out;
        start = end + 1;
    }
}

std::string_view field(const std::vector<std::string_view>& f, std::size_t i, std::string_view missing = {})
{
    return i < f.size() ? f[i] : missing;
}

bool allDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A plain number as typed: optional sign, digits, at most one point, nothing else.
bool isPlainNumber(std::string_view text)
{
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        text.remove_prefix(1);
    const auto point = text.find('.');
    const auto whole = text.substr(0, point);
    const auto fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    return !(whole.empty() && fraction.empty()) && allDigits(whole) && allDigits(fraction);
}

// The value of a plain number, read by the C library.
double plainValue(std::string_view text)
{
    return std::strtod(std::string(text).c_str(), nullptr);
}

void addressBox(std::string_view text)
{
    const auto verdict = engine::CheckAddressText(text);
    if (!allDigits(text)) {
        Require(verdict == engine::AddressTextVerdict::IllegalCharacters, "an address with other characters passed");
        return;
    }
    const auto significant = text.substr(std::min(text.find_first_not_of('0'), text.size()));
    const bool inRange = significant.size() <= 3 && (significant.empty() || std::stoi(std::string(significant)) <= 247);
    Require((verdict == engine::AddressTextVerdict::Valid) == inRange, "the address rule misjudges 0..247");
    Require(verdict != engine::AddressTextVerdict::IllegalCharacters, "an address of digits has illegal characters");
    if (inRange) {
        // The send handler reads the box with the number reader: both must agree.
        const double read = engine::RoundHalfEven(engine::LeadingNumber(text));
        Require(read == (significant.empty() ? 0 : std::stoi(std::string(significant))),
                "a valid address box reads as another address");
    }
}

constexpr std::array<std::string_view, 6> BaudTexts = {"1200", "2400", "4800", "9600", "19200", "38400"};
// The codes the meters take, as the simulated meters decode them.
constexpr std::array<int, 6> SingleBaudCodes = {5, 0, 1, 2, 3, 4};
constexpr std::array<std::string_view, 27> CtPrimaries = {
    "5",   "50",  "60",   "75",   "100",  "125",  "150",  "200",  "250",  "300",  "400",  "500",  "600", "750",
    "800", "1000", "1200", "1250", "1500", "2000", "2400", "2500", "3000", "4000", "5000", "6000", "7500",
};

void parameterDialog(std::string_view meterType, std::string_view command, std::string_view value1,
                     std::string_view value2)
{
    const auto v = fuzz::AcceptValues(meterType, command, value1, value2);
    // Plain numbers are compared with the C library's reading, with room for the
    // rounding of long fractions; a tie at .5 may go either way.
    constexpr double slack = 1e-9;
    if (command == cmd::ModifyMeterAddress && isPlainNumber(value1)) {
        const double typed = plainValue(value1);
        if (typed >= 0.5 + slack && typed <= 247.5 - slack)
            Require(v.accepted, "an address typed as 1..247 was refused");
        if (v.accepted)
            Require(std::fabs(v.code - typed) <= 0.5 + slack, "the address sent is not the number typed");
    }
    if (!v.accepted) {
        Require(!v.message.empty() && !v.caption.empty(), "a refused value has no message box");
        return;
    }
    Require(v.message.empty(), "an accepted value carries a refusal");
    if (command == cmd::ModifyMeterAddress) {
        Require(v.code >= 1 && v.code <= 247, "an accepted address is outside 1..247");
    } else if (command == cmd::ModifyBaudRate) {
        const auto it = std::find(BaudTexts.begin(), BaudTexts.end(), value1);
        Require(it != BaudTexts.end(), "an accepted baud rate is not in the table");
        const auto index = static_cast<std::size_t>(it - BaudTexts.begin());
        const bool single = catalogue::GetFrameKind(meterType, command) == catalogue::FrameKindSingle;
        Require(v.code == (single ? SingleBaudCodes[index] : static_cast<int>(index) + 1),
                "an accepted baud rate has another rate's code");
        Require(!single || value1 != "1200" || meterType == "Morel Serial" || meterType == "Lunet-K",
                "1200 baud accepted for a meter without it");
    } else if (command == cmd::ModifyParity) {
        constexpr std::array<std::pair<std::string_view, std::string_view>, 4> framings = {
            {{"NONE", "1"}, {"EVEN", "1"}, {"ODD", "1"}, {"NONE", "2"}}};
        Require(v.code >= 0 && v.code <= 3, "an accepted parity code is outside 0..3");
        Require(framings[static_cast<std::size_t>(v.code)] == std::pair(value1, value2),
                "an accepted parity has another framing's code");
    } else if (command == cmd::SetCt) {
        Require(v.code >= 0 && v.code < static_cast<int>(CtPrimaries.size()), "an accepted CT code is outside 0..26");
        Require(CtPrimaries[static_cast<std::size_t>(v.code)] == value1, "an accepted CT1 has another ratio's code");
        if (isPlainNumber(value2))
            Require(std::fabs(plainValue(value2) - 5.0) <= slack, "a CT2 other than 5 was accepted");
    } else {
        Require(v.code == 0, "a command without a parameter carries a code");
    }
}

void dateAndTime(std::string_view date, std::string_view time)
{
    const auto entry = engine::CheckTimeEntry(date, time);
    if (!entry.accepted) {
        constexpr std::array<std::string_view, 8> messages = {
            engine::DateFormatMessage,  engine::TimeFormatMessage,   engine::MonthRangeMessage,
            engine::DayRangeMessage,    engine::YearRangeMessage,    engine::HourRangeMessage,
            engine::MinuteRangeMessage, engine::SecondRangeMessage,
        };
        Require(std::find(messages.begin(), messages.end(), entry.message) != messages.end(),
                "a refused date or time has no message of the dialog");
        return;
    }
    const auto& t = entry.timeData;
    Require(entry.message.empty(), "an accepted date and time carries a refusal");
    Require(fuzz::IsBcdAtMost(t[0], 0x59), "second is not BCD 00..59");
    Require(fuzz::IsBcdAtMost(t[1], 0x59), "minute is not BCD 00..59");
    Require(fuzz::IsBcdAtMost(t[2], 0x23), "hour is not BCD 00..23");
    Require(t[3] == 0x01, "byte 3 is not 01");
    Require(fuzz::IsBcdAtMost(t[4], 0x31) && t[4] >= 0x01, "day is not BCD 01..31");
    Require(fuzz::IsBcdAtMost(t[5], 0x12) && t[5] >= 0x01, "month is not BCD 01..12");
    Require(fuzz::IsBcdAtMost(t[6], 0x99), "year is not BCD 00..99");
    Require(t[7] == 0x20, "the century is not 20");

    // The dialog's own starting texts for this moment give the same bytes.
    const auto value = [](std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); };
    const auto again = engine::CheckTimeEntry(engine::DefaultDateText(2000 + value(t[6]), value(t[5]), value(t[4])),
                                              engine::DefaultTimeText(value(t[2]), value(t[1]), value(t[0])));
    Require(again.accepted && again.timeData == t, "the dialog's texts for an accepted moment give other bytes");
}

bool isTariffTimeMessage(std::string_view message)
{
    return message == engine::TariffTimeFormatMessage || message == engine::TariffMinuteMessage
           || message == engine::TariffHourMessage;
}

// "HH:MM", hour 00..23, minute 00..59.
bool isClockInRange(std::string_view text)
{
    if (text.size() != 5 || text[2] != ':' || !allDigits(text.substr(0, 2)) || !allDigits(text.substr(3)))
        return false;
    return std::stoi(std::string(text.substr(0, 2))) <= 23 && std::stoi(std::string(text.substr(3))) <= 59;
}

void tariffTimeBox(bool previousFlag, std::string_view text)
{
    const auto check = engine::CheckTariffTime(text, previousFlag);
    for (const auto& message : check.messages)
        Require(isTariffTimeMessage(message), "a time box shows a message not its own");
    if (!check.messages.empty())
        Require(check.flag, "a time box showed a message but is not flagged");
    else
        Require(!check.flag && isClockInRange(check.text), "a time box passed a text that is no time of day");
}

void tariffBox(int slot, const engine::TariffTexts& tariffs)
{
    const auto label = engine::CheckTariffSlot(tariffs, slot);
    if (slot < 0 || slot >= engine::TariffSlots || tariffs[static_cast<std::size_t>(slot)] == "NC") {
        Require(!label, "a tariff box outside the slots or not connected got a message");
        return;
    }
    if (label)
        Require(*label >= 1 && *label <= engine::TariffSlots && (*label == slot || *label == slot + 1),
                "a tariff box names a label other than its own or its neighbour's");
}

// Accepted schedule bytes: tariff 0..4, "NC" all zero, BCD minute and hour; when the
// times passed their boxes' checks, in range and rising through the used run from slot 0.
void checkSchedule(const engine::TariffScheduleResult& r, bool boxesChecked)
{
    Require(r.message.empty(), "an accepted schedule carries a refusal");
    for (const auto& slot : r.data) {
        Require(slot[0] <= 4, "a tariff number is outside 0..4");
        if (slot[0] == 0) {
            Require(slot[1] == 0 && slot[2] == 0, "a slot not connected has a start time");
            continue;
        }
        Require(fuzz::IsBcdAtMost(slot[1], boxesChecked ? 0x59 : 0x99), "a start minute is not BCD in range");
        Require(fuzz::IsBcdAtMost(slot[2], boxesChecked ? 0x23 : 0x99), "a start hour is not BCD in range");
    }
    if (boxesChecked && r.data[0][0] != 0)
        for (std::size_t a = 1; a < r.data.size() && r.data[a][0] != 0; ++a) {
            const auto start = [&](std::size_t s) { return r.data[s][2] * 0x100 + r.data[s][1]; };
            Require(start(a - 1) < start(a), "start times do not rise through the used slots");
        }
    for (std::size_t k = 0; k < 4; ++k) {
        const auto name = "T" + std::to_string(k + 1);
        Require(r.summaries[k].starts_with(name + " : ") || r.summaries[k] == "No set " + name + ". ",
                "a tariff summary does not name its tariff");
    }
}

void confirmSchedule(std::uint8_t switches, const std::vector<std::string_view>& f)
{
    const auto flagBytes = field(f, 0);
    engine::TariffTexts tariffs;
    engine::TariffTexts times;
    engine::SlotFlags timeFlags{};
    engine::SlotFlags tariffFlags{};
    for (std::size_t i = 0; i < engine::TariffTexts().size(); ++i) {
        tariffs[i] = std::string(field(f, 1 + i, "NC"));
        times[i] = std::string(field(f, 11 + i, "00:00"));
        timeFlags[i] = i < flagBytes.size() ? flagBytes[i] & 1 : 0;
        tariffFlags[i] = i + 10 < flagBytes.size() ? flagBytes[i + 10] & 1 : 0;
    }
    const bool boxesChecked = switches & 1;
    if (boxesChecked) {
        // As the dialog leaves them: every box has run its own check.
        for (std::size_t i = 0; i < times.size(); ++i) {
            const auto check = engine::CheckTariffTime(times[i], false);
            times[i] = check.text;
            timeFlags[i] = check.flag ? 1 : 0;
            tariffFlags[i] = engine::CheckTariffSlot(tariffs, static_cast<int>(i)) ? 1 : 0;
        }
    }
    const auto r = engine::ConfirmTariffSchedule(tariffs, times, timeFlags, tariffFlags);
    if (!r.accepted) {
        Require(!r.message.empty(), "a refused schedule has no message");
        return;
    }
    checkSchedule(r, boxesChecked);
}

void scheduleText(std::string_view text)
{
    const auto r = engine::CheckTariffScheduleText(text);
    if (!r.accepted) {
        Require(!r.message.empty(), "a refused schedule text has no message");
        return;
    }
    checkSchedule(r, true);
}

void codeText(int k, std::string_view meterType, std::string_view command, std::uint8_t address, int parameter,
              std::string_view text)
{
    const auto bytes = codec::HexCodeToBytes(text);
    Require(bytes.size() == text.size() / 2, "a code text does not give a byte per digit pair");
    for (std::size_t i = 0; i < bytes.size(); ++i)
        Require(bytes[i] == codec::HexCodeByte(text, static_cast<int>(i) + 1), "HexCodeByte differs from HexCodeToBytes");
    if (k < 1 || static_cast<std::size_t>(k) > bytes.size())
        Require(codec::HexCodeByte(text, k) == 0, "a pair outside the text is not 0");

    const auto kind = catalogue::GetFrameKind(meterType, command);
    const engine::TimeBytes time{};
    const engine::TariffBytes tariff{};
    const auto frame = engine::BuildRequestFrame(kind, command, text, address, parameter, time, tariff);
    const bool sendable = !bytes.empty() && bytes.size() <= 30 && kind >= catalogue::FrameKindRead
                          && kind <= catalogue::FrameKindSingle;
    Require(frame.empty() != sendable, "a request frame is built exactly when its code can be sent");
    if (frame.empty())
        return;
    std::size_t data = 0;
    if (kind == catalogue::FrameKindRegister)
        data = command == cmd::SetTime ? time.size() : command == cmd::SetTariff ? 3 * tariff.size() : 2;
    else if (kind == catalogue::FrameKindSingle)
        data = 4;
    Require(frame.size() == bytes.size() + data + 2, "a request frame has the wrong length");
    Require(frame[0] == address, "a request frame has another slave address");
    Require(std::equal(bytes.begin() + 1, bytes.end(), frame.begin() + 1), "a request frame differs from its code");
    Require(fuzz::HasValidCrc(frame), "a request frame has a wrong CRC (low byte first)");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteReader in({data, size});
    switch (in.byte() % 8) {
    case 0:
        addressBox(asText(in.rest()));
        break;
    case 1: {
        const auto meterType = in.meterType();
        const auto command = in.command();
        const auto f = fields(asText(in.rest()));
        parameterDialog(meterType, command, field(f, 0), field(f, 1));
        break;
    }
    case 2: {
        const auto f = fields(asText(in.rest()));
        dateAndTime(field(f, 0), field(f, 1));
        break;
    }
    case 3: {
        const bool flag = in.byte() & 1;
        tariffTimeBox(flag, asText(in.rest()));
        break;
    }
    case 4: {
        const int slot = static_cast<std::int8_t>(in.byte());
        const auto f = fields(asText(in.rest()));
        engine::TariffTexts tariffs;
        for (std::size_t i = 0; i < tariffs.size(); ++i)
            tariffs[i] = std::string(field(f, i, "NC"));
        tariffBox(slot, tariffs);
        break;
    }
    case 5: {
        const auto switches = in.byte();
        confirmSchedule(switches, fields(asText(in.rest())));
        break;
    }
    case 6:
        scheduleText(asText(in.rest()));
        break;
    case 7: {
        const int k = static_cast<std::int8_t>(in.byte());
        const auto meterType = in.meterType();
        const auto command = in.command();
        const auto address = in.byte();
        const int parameter = in.byte();
        codeText(k, meterType, command, address, parameter, asText(in.rest()));
        break;
    }
    }
    return 0;
}
