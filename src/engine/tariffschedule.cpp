#include "engine/tariffschedule.h"

#include "codec/bcd.h"
#include "engine/characters.h"
#include "engine/numbertext.h"

#include <algorithm>
#include <utility>

namespace engine {

namespace {

using characters::IsDigit;
using std::size_t;

constexpr size_t Slots = TariffSlots;
constexpr std::string_view NotConnected = "NC";
constexpr std::array<std::string_view, 4> TariffNames = {"T1", "T2", "T3", "T4"};

// 1..4 for "T1".."T4", 0 for "NC", nullopt for any other text.
std::optional<int> TariffNumber(std::string_view text)
{
    if (text == NotConnected)
        return 0;
    for (size_t k = 0; k < TariffNames.size(); ++k)
        if (text == TariffNames[k])
            return static_cast<int>(k) + 1;
    return std::nullopt;
}

// The number a part of a time text starts with, as the range checks read it.
double PartValue(std::u32string_view part)
{
    return LeadingNumber(characters::Ascii(part));
}

double HoursOf(std::u32string_view text)
{
    return PartValue(text.substr(0, 2));
}

double MinutesOf(std::u32string_view text)
{
    return PartValue(text.size() <= 2 ? text : text.substr(text.size() - 2));
}

// "HH:MM" with four ASCII digits.
bool IsClockText(std::u32string_view text)
{
    return text.size() == 5 && text[2] == U':' && IsDigit(text[0]) && IsDigit(text[1]) && IsDigit(text[3])
           && IsDigit(text[4]);
}

std::string_view TrimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::uint8_t Bcd(char tens, char units)
{
    return codec::BcdByte(tens - '0', units - '0');
}

TariffScheduleResult Refuse(std::string message)
{
    TariffScheduleResult result;
    result.message = std::move(message);
    return result;
}

} // namespace

TariffTimeCheck CheckTariffTime(std::string_view text, bool previousFlag)
{
    std::u32string t = characters::Decode(text);
    TariffTimeCheck check;
    check.flag = previousFlag;
    // Showing a message always sets the slot's flag.
    const auto show = [&check](std::string_view message) {
        check.messages.emplace_back(message);
        check.flag = true;
    };
    // The values first ("-1:30" is out of range); then a time whose values pass
    // but that holds something other than digits around the colon (" 8:30")
    // has no encoding, and is refused as a format error.
    const auto rangeChecks = [&]() {
        const double minutes = MinutesOf(t);
        const double hours = HoursOf(t);
        if (minutes > 59 || minutes < 0)
            show(TariffMinuteMessage);
        else if (hours > 23 || hours < 0)
            show(TariffHourMessage);
        else if (t.size() == 5 && !IsClockText(t))
            show(TariffTimeFormatMessage);
    };

    if (t.size() == 5) {
        if (t[2] != U':') {
            show(TariffTimeFormatMessage);
        } else {
            check.flag = false;
            rangeChecks();
        }
    } else if (t.size() >= 6) {
        show(TariffTimeFormatMessage);
    } else {
        const auto colon = t.find(U':');
        if (colon == std::u32string::npos || colon == 0 || colon >= 3) {
            show(TariffTimeFormatMessage);
        } else {
            if (colon == 1) { // one hour digit: 8:30 becomes 08:30
                t.insert(t.begin(), U'0');
                check.flag = false;
            }
            if (t.size() == 4) { // one minute digit: 08:5 becomes 08:05
                t.insert(t.end() - 1, U'0');
                check.flag = false;
            } else if (t.size() <= 3) {
                show(TariffTimeFormatMessage); // and the range checks still follow: 99: also gets M3
            }
            rangeChecks();
        }
    }
    check.text = characters::Encode(t);
    return check;
}

std::optional<int> CheckTariffSlot(const TariffTexts& tariffs, int slot)
{
    if (slot < 0 || slot >= TariffSlots)
        return std::nullopt;
    const auto c = [&tariffs](int k) -> const std::string& { return tariffs[static_cast<size_t>(k)]; };
    if (c(slot) == NotConnected)
        return std::nullopt;
    if (slot == 0)
        return c(1) != NotConnected && c(1) == c(0) ? std::optional<int>(1) : std::nullopt;
    if (slot == TariffSlots - 1)
        return c(8) == NotConnected || c(8) == c(9) ? std::optional<int>(9) : std::nullopt;
    if (c(slot + 1) != NotConnected && c(slot + 1) == c(slot))
        return slot + 1; // the slot's own label
    if (c(slot - 1) == NotConnected)
        return slot; // the empty slot before it
    if (c(slot - 1) == c(slot))
        return slot + 1;
    return std::nullopt;
}

std::string SlotMessage(int labelNumber)
{
    return "Time" + std::to_string(labelNumber) + " data error!";
}

TariffScheduleResult ConfirmTariffSchedule(const TariffTexts& tariffs, const TariffTexts& times,
                                           const SlotFlags& timeFlags, const SlotFlags& tariffFlags)
{
    const auto anySet = [](const SlotFlags& flags) {
        return std::any_of(flags.begin(), flags.end(), [](std::uint8_t f) { return f != 0; });
    };
    if (anySet(timeFlags))
        return Refuse(std::string(TariffTimeFormatMessage));
    if (anySet(tariffFlags))
        return Refuse(std::string(TariffDataMessage));

    // Only "NC" and "T1".."T4" have bytes; any other typed text is refused
    // rather than sent with the bytes of an earlier schedule.
    std::array<int, Slots> number{};
    for (size_t i = 0; i < Slots; ++i) {
        const auto n = TariffNumber(tariffs[i]);
        if (!n)
            return Refuse(std::string(TariffDataMessage));
        number[i] = *n;
    }
    // A used slot's start time must be plain digits to become BCD.
    std::array<std::u32string, Slots> clock;
    for (size_t i = 0; i < Slots; ++i) {
        clock[i] = characters::Decode(times[i]);
        if (number[i] != 0 && !IsClockText(characters::Decode(TrimBlanks(times[i]))))
            return Refuse(std::string(TariffTimeFormatMessage));
    }

    // Start times rise strictly through the used run from slot 0.
    for (size_t a = 1; a < Slots && number[a] != 0; ++a) {
        const double h0 = HoursOf(clock[a - 1]);
        const double h1 = HoursOf(clock[a]);
        const bool earlier = h0 < h1 || (h0 == h1 && MinutesOf(clock[a - 1]) < MinutesOf(clock[a]));
        if (!earlier)
            return Refuse(SlotMessage(static_cast<int>(a) + 1));
    }

    TariffScheduleResult result;
    result.accepted = true;
    std::array<ScheduleSlot, Slots> slots;
    for (size_t i = 0; i < Slots; ++i)
        slots[i] = {number[i], times[i]};
    result.summaries = TariffSummaries(slots);

    // Per slot: tariff number, minute BCD, hour BCD; "NC" is three zero bytes.
    for (size_t i = 0; i < Slots; ++i) {
        if (number[i] == 0) {
            result.data[i] = {0, 0, 0};
            continue;
        }
        const std::string_view hhmm = TrimBlanks(times[i]);
        result.data[i] = {static_cast<std::uint8_t>(number[i]), Bcd(hhmm[3], hhmm[4]), Bcd(hhmm[0], hhmm[1])};
    }
    return result;
}

std::array<std::string, 4> TariffSummaries(const std::array<ScheduleSlot, TariffSlots>& slots)
{
    std::array<std::string, 4> summaries;
    for (size_t k = 0; k < summaries.size(); ++k)
        summaries[k] = std::string(TariffNames[k]) + " : ";
    const auto addRange = [&](size_t slot, const std::string& end) {
        const int tariff = slots[slot].tariff;
        if (tariff >= 1 && tariff <= 4)
            summaries[static_cast<size_t>(tariff - 1)] += slots[slot].start + " to " + end + " . ";
    };
    // The schedule is cyclic: the last used slot runs until slot 0 starts again.
    bool ended = false;
    for (size_t i = 0; i + 1 < Slots && !ended; ++i) {
        if (slots[i].tariff == 0)
            continue;
        ended = slots[i + 1].tariff == 0;
        addRange(i, ended ? slots[0].start : slots[i + 1].start);
    }
    if (!ended && slots[Slots - 1].tariff != 0)
        addRange(Slots - 1, slots[0].start);
    for (size_t k = 0; k < summaries.size(); ++k)
        if (summaries[k] == std::string(TariffNames[k]) + " : ")
            summaries[k] = "No set " + std::string(TariffNames[k]) + ". ";
    return summaries;
}

TariffScheduleResult CheckTariffScheduleText(std::string_view text)
{
    // Split into slots: tariff word, then the time; a blank text leaves every slot "NC".
    std::vector<std::pair<std::string, std::string>> slots;
    if (!TrimBlanks(text).empty()) {
        size_t start = 0;
        while (true) {
            const auto comma = text.find(',', start);
            const std::string_view item =
                TrimBlanks(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
            const auto gap = item.find_first_of(" \t");
            if (gap == std::string_view::npos)
                slots.emplace_back(std::string(item), std::string());
            else
                slots.emplace_back(std::string(item.substr(0, gap)), std::string(TrimBlanks(item.substr(gap))));
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
    }
    if (slots.size() > Slots)
        return Refuse(std::string(TariffDataMessage));

    TariffTexts tariffs;
    TariffTexts times;
    tariffs.fill(std::string(NotConnected));
    times.fill("00:00");
    SlotFlags timeFlags{};
    SlotFlags tariffFlags{};
    std::string firstMessage;
    const auto note = [&firstMessage](const std::string& message) {
        if (firstMessage.empty())
            firstMessage = message;
    };
    // Each box is typed into, then left, as the operator moves on.
    const auto leaveTariff = [&](size_t i) {
        if (i < slots.size())
            tariffs[i] = slots[i].first;
        const auto label = CheckTariffSlot(tariffs, static_cast<int>(i));
        tariffFlags[i] = label ? 1 : 0;
        if (label)
            note(SlotMessage(*label));
    };
    const auto leaveTime = [&](size_t i) {
        if (i < slots.size() && !slots[i].second.empty())
            times[i] = slots[i].second;
        const auto check = CheckTariffTime(times[i], timeFlags[i] != 0);
        times[i] = check.text;
        timeFlags[i] = check.flag ? 1 : 0;
        for (const auto& message : check.messages)
            note(message);
    };

    // The dialog's focus order: tariffs 0-4, times 0-4, tariff 5, time 5, tariffs 6-9, times 6-9.
    for (size_t i = 0; i <= 4; ++i)
        leaveTariff(i);
    for (size_t i = 0; i <= 4; ++i)
        leaveTime(i);
    leaveTariff(5);
    leaveTime(5);
    for (size_t i = 6; i <= 9; ++i)
        leaveTariff(i);
    for (size_t i = 6; i <= 9; ++i)
        leaveTime(i);

    if (!firstMessage.empty())
        return Refuse(firstMessage);
    return ConfirmTariffSchedule(tariffs, times, timeFlags, tariffFlags);
}

} // namespace engine
