#pragma once

#include <array>
#include <cstdint>
#include <string>

// The state the main window, its handlers and the parameter dialogs share for
// the whole run; everything is used on the one UI thread. The outstanding
// request and its reply belong to the reply line (engine/replyline.h).
namespace engine {

// "Set Time" data bytes, BCD: second, minute, hour, 0x01, day, month, year, 0x20.
using TimeBytes = std::array<std::uint8_t, 8>;
// "Set Tariff" data: per slot 0..9 the tariff number, the minute and the hour (BCD).
using TariffBytes = std::array<std::array<std::uint8_t, 3>, 10>;

enum DialogResultValue : std::uint8_t { DialogNone = 0, DialogConfirmed = 1, DialogCancelled = 2 };

struct OperationState {
    // Current selection: always the meter type / command pair of the lists.
    std::uint8_t FrameKind = 0;
    std::string RequestCode;
    std::string ReplyCode;

    // The slave address of the latest request, set before its dialog is shown.
    std::uint8_t RequestAddress = 0;

    // Values accepted for the last write of each command, quoted by the report.
    std::int16_t NewAddress = 0;
    std::string NewBaudText;
    std::string NewParityText;
    std::string NewStopBitsText;
    std::string NewCt1Text;
    std::string NewCt2Text;
    std::string SetDateText;
    std::string SetTimeText;
    std::string TariffSummaryT1;
    std::string TariffSummaryT2;
    std::string TariffSummaryT3;
    std::string TariffSummaryT4;

    // Both counters are wide so that neither wraps in a long session.
    std::int64_t SuccessCount = 0;
    std::int64_t FailCount = 0;

    // Exchange with the parameter dialogs.
    std::uint8_t DialogResult = DialogNone;
    std::string DialogValue1;
    std::string DialogValue2;
    TariffBytes TariffData{};
    TimeBytes TimeData{};
};

} // namespace engine
