#include "operationchoice.h"

#include "catalogue/catalogue.h"
#include "codec/bcd.h"
#include "engine/dialoganswer.h"
#include "engine/parameters.h"
#include "engine/tariffschedule.h"
#include "engine/timeentry.h"


namespace commissioning {

namespace {

using codec::BcdText;

} // namespace

std::string DateTextOf(const engine::TimeBytes& t)
{
    // second, minute, hour, 01, day, month, year, century
    return BcdText(t[5]) + "/" + BcdText(t[4]) + "/" + BcdText(t[7]) + BcdText(t[6]);
}

std::string TimeTextOf(const engine::TimeBytes& t)
{
    return BcdText(t[2]) + ":" + BcdText(t[1]) + ":" + BcdText(t[0]);
}

std::array<std::string, 4> TariffSummariesOf(const engine::TariffBytes& bytes)
{
    // Per slot: tariff number, minute, hour; the start reads "HH:MM".
    std::array<engine::ScheduleSlot, engine::TariffSlots> slots;
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = {bytes[i][0], BcdText(bytes[i][2]) + ":" + BcdText(bytes[i][1])};
    return engine::TariffSummaries(slots);
}

Preparation PrepareOperation(const OperationChoice& o)
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
    engine::StoreDialogAnswer(state, engine::ConfirmedValues(o.value1.value_or(""), o.value2.value_or("")));
    const auto verdict = engine::AcceptParameter(state, o.meter, o.command, state.FrameKind, state.DialogValue1,
                                                 state.DialogValue2);
    if (!verdict.accepted)
        return {std::nullopt, verdict.message};
    p.parameterCode = verdict.code;

    if (o.timeData) {
        engine::StoreDialogAnswer(state, engine::ConfirmedTime(*o.timeData, DateTextOf(*o.timeData), TimeTextOf(*o.timeData)));
    } else if (o.date && o.time) {
        const auto entry = engine::CheckTimeEntry(*o.date, *o.time);
        if (!entry.accepted)
            return {std::nullopt, entry.message};
        engine::StoreDialogAnswer(state, engine::ConfirmedTime(entry.timeData, *o.date, *o.time));
    }

    if (o.tariffData) {
        engine::TariffScheduleResult schedule;
        schedule.accepted = true;
        schedule.data = *o.tariffData;
        schedule.summaries = TariffSummariesOf(*o.tariffData);
        engine::StoreDialogAnswer(state, engine::ConfirmedTariff(schedule));
    } else if (o.tariff) {
        const auto schedule = engine::CheckTariffScheduleText(*o.tariff);
        if (!schedule.accepted)
            return {std::nullopt, schedule.message};
        engine::StoreDialogAnswer(state, engine::ConfirmedTariff(schedule));
    }
    return {p, {}};
}

} // namespace commissioning
