#pragma once

#include "engine/state.h"

#include <string>
#include <string_view>

// Checking and encoding the date and time the operator confirms for "Set Time".
namespace engine {

inline constexpr std::string_view DateFormatMessage = "Date format error! The correct format is MM/DD/YYYY.";
inline constexpr std::string_view TimeFormatMessage = "Time format error! The correct format is HH:MM:SS.";
inline constexpr std::string_view MonthRangeMessage = "The month error, month is in the range of 1~12.";
inline constexpr std::string_view DayRangeMessage = "The day error, day is in the range of 1~31.";
inline constexpr std::string_view YearRangeMessage = "The year error, year is in the range of 2000~2099.";
inline constexpr std::string_view HourRangeMessage = "The hour error, hour is in the range of 0~23.";
inline constexpr std::string_view MinuteRangeMessage = "The minute error, minute is in the range of 0~59.";
inline constexpr std::string_view SecondRangeMessage = "The second error, second is in the range of 0~59.";

// Outcome of one confirmation of the date and time dialog.
struct TimeEntryResult {
    bool accepted = false;
    std::string message; // the first failing check's message; empty when accepted
    TimeBytes timeData{}; // cleared, then filled field by field as the checks pass
};

// Checks "MM/DD/YYYY" and "HH:MM:SS" (one- or two-digit fields, four-digit
// year 2000..2099) in the dialog's order, stopping at the first failure.
TimeEntryResult CheckTimeEntry(std::string_view dateText, std::string_view timeText);

// The dialog's starting texts: "MM/DD/YYYY" and the 24-hour "HH:MM:SS" that
// CheckTimeEntry accepts.
std::string DefaultDateText(int year, int month, int day);
std::string DefaultTimeText(int hour, int minute, int second);

} // namespace engine
