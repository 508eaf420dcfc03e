#pragma once

#include "engine/state.h"

#include <array>
#include <optional>
#include <string>

// What a parameter dialog hands back when it closes, and the one place it is
// stored under the shared names the send handler reads.
namespace engine {

struct TariffScheduleResult;

struct DialogAnswer {
    std::uint8_t result = DialogNone; // DialogResult: confirmed, cancelled, or none (closed)
    // Each only where the dialog writes it.
    std::optional<std::string> value1; // DialogValue1
    std::optional<std::string> value2; // DialogValue2
    // Every confirmation of the date and time dialog fills the bytes as far as
    // its checks get; the texts only once they all pass.
    std::optional<TimeBytes> timeData; // TimeData
    std::optional<std::string> dateText; // SetDateText
    std::optional<std::string> timeText; // SetTimeText
    std::optional<TariffBytes> tariffData; // TariffData
    std::optional<std::array<std::string, 4>> tariffSummaries; // TariffSummaryT1..T4
};

// A confirmed answer of the address, baud rate, parity or CT dialog.
DialogAnswer ConfirmedValues(std::string value1, std::optional<std::string> value2 = std::nullopt);
// A confirmed date and time: the bytes and the texts as typed.
DialogAnswer ConfirmedTime(const TimeBytes &timeData, std::string dateText, std::string timeText);
// A confirmed tariff schedule: its bytes and its four summaries.
DialogAnswer ConfirmedTariff(const TariffScheduleResult &schedule);
DialogAnswer Cancelled();

// DialogResult always; every value the answer carries, the others left as they were.
void StoreDialogAnswer(OperationState &state, const DialogAnswer &answer);

} // namespace engine
