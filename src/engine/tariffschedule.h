#pragma once

#include "engine/state.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Checking, summarising and encoding the daily tariff schedule of "Set Tariff":
// ten slots, each a tariff text ("NC", "T1".."T4") and a start time "HH:MM".
namespace engine {

inline constexpr int TariffSlots = 10;

inline constexpr std::string_view TariffTimeFormatMessage = "Time data format error! The correct format is HH:MM.";
inline constexpr std::string_view TariffMinuteMessage = "Time data format error! Not more than 59 minutes .";
inline constexpr std::string_view TariffHourMessage = "Time data format error! Not more than 24 hours.";
inline constexpr std::string_view TariffDataMessage = "Tariff data error!";

using TariffTexts = std::array<std::string, TariffSlots>;
// One error flag per slot, 1 while the slot's box failed its last check.
using SlotFlags = std::array<std::uint8_t, TariffSlots>;

// Outcome of the check a time box runs when it loses the focus.
struct TariffTimeCheck {
    std::string text;                  // the box text after repair ("8:5" becomes "08:05")
    std::vector<std::string> messages; // shown in this order
    bool flag = false;                 // the slot's new time error flag
};

TariffTimeCheck CheckTariffTime(std::string_view text, bool previousFlag);

// The check a tariff box runs when it loses the focus: the label number whose
// slot message is shown (the flag is then set), or nullopt (flag cleared).
std::optional<int> CheckTariffSlot(const TariffTexts& tariffs, int slot);

// "Time4 data error!" for label number 4.
std::string SlotMessage(int labelNumber);

// One slot as the summaries read it: its tariff number (0 for "NC", 1..4 for
// "T1".."T4"; any other number is a used slot that no summary names) and its
// start time as written.
struct ScheduleSlot {
    int tariff = 0;
    std::string start;
};

// The four summaries of a schedule, "T1 : 08:00 to 12:00 . " or "No set T1. ":
// each used slot's tariff runs from its start until the next slot starts; the
// first "NC" slot ends the pass, and the last used slot runs until slot 0 starts again.
std::array<std::string, 4> TariffSummaries(const std::array<ScheduleSlot, TariffSlots>& slots);

struct TariffScheduleResult {
    bool accepted = false;
    std::string message;              // the refusal; empty when accepted
    TariffBytes data{};               // per slot: tariff number, minute BCD, hour BCD
    std::array<std::string, 4> summaries; // "T1 : 08:00 to 12:00 . " or "No set T1. "
};

// The confirmation: flags, tariff texts, time order, then summaries and bytes.
TariffScheduleResult ConfirmTariffSchedule(const TariffTexts& tariffs, const TariffTexts& times,
                                           const SlotFlags& timeFlags, const SlotFlags& tariffFlags);

// A schedule written as "T1 08:30, T2 12:00, ..." (slots in order, the rest
// "NC"; a slot without a time keeps "00:00"), checked as if the operator had
// typed it into the dialog box by box in focus order and then confirmed.
// The first message wins; more than ten slots are refused as tariff data.
TariffScheduleResult CheckTariffScheduleText(std::string_view text);

} // namespace engine
