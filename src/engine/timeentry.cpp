#include "engine/timeentry.h"

#include "codec/bcd.h"
#include "engine/characters.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace engine {

namespace {

using characters::IsDigit;

// A field of one or two digits as a BCD byte (tens digit in the high nibble);
// nullopt when it holds anything but digits or has the wrong length.
std::optional<std::uint8_t> BcdField(std::u32string_view field)
{
    if (field.empty() || field.size() > 2)
        return std::nullopt;
    for (const char32_t c : field)
        if (!IsDigit(c))
            return std::nullopt;
    if (field.size() == 1)
        return static_cast<std::uint8_t>(field[0] - U'0');
    return codec::BcdByte(static_cast<int>(field[0] - U'0'), static_cast<int>(field[1] - U'0'));
}

TimeEntryResult Refuse(TimeEntryResult result, std::string_view message)
{
    result.message = message;
    return result;
}

} // namespace

TimeEntryResult CheckTimeEntry(std::string_view dateText, std::string_view timeText)
{
    TimeEntryResult result; // TimeData starts as eight zero bytes
    auto& bytes = result.timeData;

    const std::u32string date = characters::Decode(dateText);
    if (date.size() < 8 || date.size() > 10)
        return Refuse(result, DateFormatMessage);

    // Month: one or two characters before the first "/".
    const auto slash1 = date.find(U'/');
    if (slash1 == std::u32string::npos || slash1 < 1 || slash1 > 2)
        return Refuse(result, DateFormatMessage);
    const auto month = BcdField(std::u32string_view(date).substr(0, slash1));
    if (!month)
        return Refuse(result, DateFormatMessage);
    if (*month < 0x01 || *month > 0x12)
        return Refuse(result, MonthRangeMessage);
    bytes[5] = *month;

    // Day: up to the second "/".
    const auto dayStart = slash1 + 1;
    const auto slash2 = date.find(U'/', dayStart);
    const auto dayEnd = slash2 == std::u32string::npos ? date.size() : slash2;
    const auto day = BcdField(std::u32string_view(date).substr(dayStart, dayEnd - dayStart));
    if (!day)
        return Refuse(result, DateFormatMessage);
    if (*day < 0x01 || *day > 0x31)
        return Refuse(result, DayRangeMessage);
    bytes[4] = *day;

    // Year: exactly four digits; a missing, short or non-numeric year is a format error.
    if (slash2 == std::u32string::npos)
        return Refuse(result, DateFormatMessage);
    const std::u32string_view year = std::u32string_view(date).substr(slash2 + 1);
    if (year.size() != 4)
        return Refuse(result, DateFormatMessage);
    for (const char32_t c : year)
        if (!IsDigit(c))
            return Refuse(result, DateFormatMessage);
    const int yearValue = 1000 * (year[0] - U'0') + 100 * (year[1] - U'0') + 10 * (year[2] - U'0') + (year[3] - U'0');
    if (yearValue < 2000 || yearValue > 2099)
        return Refuse(result, YearRangeMessage);
    bytes[6] = codec::BcdByte(static_cast<int>(year[2] - U'0'), static_cast<int>(year[3] - U'0'));

    const std::u32string time = characters::Decode(timeText);
    if (time.size() < 5 || time.size() > 8)
        return Refuse(result, TimeFormatMessage);

    const auto colon1 = time.find(U':');
    if (colon1 == std::u32string::npos || colon1 < 1 || colon1 > 2)
        return Refuse(result, TimeFormatMessage);
    const auto hour = BcdField(std::u32string_view(time).substr(0, colon1));
    if (!hour)
        return Refuse(result, TimeFormatMessage);
    if (*hour > 0x23)
        return Refuse(result, HourRangeMessage);
    bytes[2] = *hour;

    const auto minuteStart = colon1 + 1;
    const auto colon2 = time.find(U':', minuteStart);
    const auto minuteEnd = colon2 == std::u32string::npos ? time.size() : colon2;
    const auto minute = BcdField(std::u32string_view(time).substr(minuteStart, minuteEnd - minuteStart));
    if (!minute)
        return Refuse(result, TimeFormatMessage);
    if (*minute > 0x59)
        return Refuse(result, MinuteRangeMessage);
    bytes[1] = *minute;

    // Seconds are required: "HH:MM" alone is a format error.
    if (colon2 == std::u32string::npos)
        return Refuse(result, TimeFormatMessage);
    const auto second = BcdField(std::u32string_view(time).substr(colon2 + 1));
    if (!second)
        return Refuse(result, TimeFormatMessage);
    if (*second > 0x59)
        return Refuse(result, SecondRangeMessage);
    bytes[0] = *second;

    bytes[3] = 0x01;
    bytes[7] = 0x20; // the century
    result.accepted = true;
    return result;
}

std::string DefaultDateText(int year, int month, int day)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", month, day, year);
    return text;
}

std::string DefaultTimeText(int hour, int minute, int second)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
    return text;
}

} // namespace engine
