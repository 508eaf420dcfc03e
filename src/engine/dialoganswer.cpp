#include "engine/dialoganswer.h"

#include "engine/tariffschedule.h"

namespace engine {

DialogAnswer ConfirmedValues(std::string value1, std::optional<std::string> value2)
{
    DialogAnswer answer;
    answer.result = DialogConfirmed;
    answer.value1 = std::move(value1);
    answer.value2 = std::move(value2);
    return answer;
}

DialogAnswer ConfirmedTime(const TimeBytes &timeData, std::string dateText, std::string timeText)
{
    DialogAnswer answer;
    answer.result = DialogConfirmed;
    answer.timeData = timeData;
    answer.dateText = std::move(dateText);
    answer.timeText = std::move(timeText);
    return answer;
}

DialogAnswer ConfirmedTariff(const TariffScheduleResult &schedule)
{
    DialogAnswer answer;
    answer.result = DialogConfirmed;
    answer.tariffData = schedule.data;
    answer.tariffSummaries = schedule.summaries;
    return answer;
}

DialogAnswer Cancelled()
{
    DialogAnswer answer;
    answer.result = DialogCancelled;
    return answer;
}

void StoreDialogAnswer(OperationState &state, const DialogAnswer &answer)
{
    state.DialogResult = answer.result;
    if (answer.value1)
        state.DialogValue1 = *answer.value1;
    if (answer.value2)
        state.DialogValue2 = *answer.value2;
    if (answer.timeData)
        state.TimeData = *answer.timeData;
    if (answer.dateText)
        state.SetDateText = *answer.dateText;
    if (answer.timeText)
        state.SetTimeText = *answer.timeText;
    if (answer.tariffData)
        state.TariffData = *answer.tariffData;
    if (const auto &s = answer.tariffSummaries) {
        state.TariffSummaryT1 = (*s)[0];
        state.TariffSummaryT2 = (*s)[1];
        state.TariffSummaryT3 = (*s)[2];
        state.TariffSummaryT4 = (*s)[3];
    }
}

} // namespace engine
