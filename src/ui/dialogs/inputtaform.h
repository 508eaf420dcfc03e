#pragma once

#include "engine/tariffschedule.h"
#include "ui/dialogs/inputdialog.h"

#include <array>

class QComboBox;
class QEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dialogs {

// Asks for the daily tariff schedule of "Set Tariff": ten slots of tariff and
// start time, each box checked as the operator leaves it, the whole schedule
// when confirmed.
class Input_TA_Form final : public InputDialog
{
public:
    // meterType decides whether the tariff lists offer T3 and T4.
    explicit Input_TA_Form(const QString &meterType, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Each returns whether it showed a message.
    bool Tariff_Combo_LostFocus(int index);
    bool Tariff_Text_LostFocus(int index);
    void OK_Command_Click();
    engine::TariffTexts tariffTexts() const;

    std::array<QComboBox *, engine::TariffSlots> Tariff_Combo{};
    std::array<QLineEdit *, engine::TariffSlots> Tariff_Text{};
    QLabel *Label3;
    QPushButton *OK_Command;
    QPushButton *No_Command;

    // 1 while the slot's box failed its last check; only that box's own check clears it.
    engine::SlotFlags m_timeErrorFlags{};
    engine::SlotFlags m_tariffErrorFlags{};
};

} // namespace dialogs
