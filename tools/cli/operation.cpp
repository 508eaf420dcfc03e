#include "operation.h"

#include "catalogue/catalogue.h"
#include "engine/parameters.h"
#include "engine/tariffschedule.h"
#include "engine/timeentry.h"

#include <cstdio>

namespace cli {

namespace {

// A BCD byte shows its two decimal digits when written in hex.
std::string bcd(std::uint8_t b)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

constexpr std::uint8_t NotConnected = 0;

bool isTariff(std::uint8_t number)
{
    return number >= 1 && number <= 4;
}

} // namespace

std::string DateTextOf(const engine::TimeBytes& t)
{
    // second, minute, hour, 01, day, month, year, century
    return bcd(t[5]) + "/" + bcd(t[4]) + "/" + bcd(t[7]) + bcd(t[6]);
}

std::string TimeTextOf(const engine::TimeBytes& t)
{
    return bcd(t[2]) + ":" + bcd(t[1]) + ":" + bcd(t[0]);
}

std::array<std::string, 4> TariffSummariesOf(const engine::TariffBytes& slots)
{
    const auto start = [&](std::size_t slot) { return bcd(slots[slot][2]) + ":" + bcd(slots[slot][1]); };
    std::array<std::string, 4> summaries;
    for (std::size_t k = 0; k < summaries.size(); ++k)
        summaries[k] = "T" + std::to_string(k + 1) + " : ";

    // Each tariff runs until the next used slot starts; the last used slot until slot 0 starts again.
    const auto addRange = [&](std::size_t slot, const std::string& end) {
        summaries[std::size_t(slots[slot][0] - 1)] += start(slot) + " to " + end + " . ";
    };
    bool ended = false;
    for (std::size_t i = 0; i + 1 < slots.size() && !ended; ++i) {
        if (!isTariff(slots[i][0]))
            continue;
        ended = slots[i + 1][0] == NotConnected;
        addRange(i, ended ? start(0) : start(i + 1));
    }
    if (!ended && isTariff(slots.back()[0]))
        addRange(slots.size() - 1, start(0));

    for (std::size_t k = 0; k < summaries.size(); ++k)
        if (summaries[k].size() == 5) // still the bare prefix
            summaries[k] = "No set T" + std::to_string(k + 1) + ". ";
    return summaries;
}

Preparation PrepareOperation(const Options& o)
{
    PreparedOperation p;
    auto& state = p.state;
    const auto codes = catalogue::Find_Code(o.meter, o.command);
    if (!codes)
        return {std::nullopt, "no codes for " + o.meter + " / " + o.command};
    state.FrameKind = catalogue::GetFrameKind(o.meter, o.command);
    state.RequestCode = std::string(codes->request);
    state.ReplyCode = std::string(codes->reply);
    state.RequestAddress = o.address;

    // As the send handler does with a confirmed dialog.
    state.DialogResult = engine::DialogConfirmed;
    state.DialogValue1 = o.value1.value_or("");
    state.DialogValue2 = o.value2.value_or("");
    const auto verdict = engine::AcceptParameter(state, o.meter, o.command, state.FrameKind, state.DialogValue1,
                                                 state.DialogValue2);
    if (!verdict.accepted)
        return {std::nullopt, verdict.message};
    p.parameterCode = verdict.code;

    if (o.timeData) {
        state.TimeData = *o.timeData;
        state.SetDateText = DateTextOf(*o.timeData);
        state.SetTimeText = TimeTextOf(*o.timeData);
    } else if (o.date && o.time) {
        const auto entry = engine::CheckTimeEntry(*o.date, *o.time);
        if (!entry.accepted)
            return {std::nullopt, entry.message};
        state.TimeData = entry.timeData;
        state.SetDateText = *o.date;
        state.SetTimeText = *o.time;
    }

    std::array<std::string, 4> summaries;
    if (o.tariffData) {
        state.TariffData = *o.tariffData;
        summaries = TariffSummariesOf(*o.tariffData);
    } else if (o.tariff) {
        const auto schedule = engine::CheckTariffScheduleText(*o.tariff);
        if (!schedule.accepted)
            return {std::nullopt, schedule.message};
        state.TariffData = schedule.data;
        summaries = schedule.summaries;
    }
    if (o.tariffData || o.tariff) {
        state.TariffSummaryT1 = summaries[0];
        state.TariffSummaryT2 = summaries[1];
        state.TariffSummaryT3 = summaries[2];
        state.TariffSummaryT4 = summaries[3];
    }
    return {p, {}};
}

} // namespace cli
