#pragma once

#include "ui/dialogs/inputdialog.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace dialogs {

// Asks for the new parity and stop bits of "Modify Parity"; two stop bits
// only go with no parity.
class Input_PR_Form final : public InputDialog
{
public:
    explicit Input_PR_Form(QWidget *parent = nullptr);

private:
    void Combo1_Click();
    void Combo2_Click();
    void OK_Command_Click();

    QLabel *Label1;
    QLabel *Label2;
    QComboBox *Combo1;
    QComboBox *Combo2;
    QPushButton *OK_Command;
    QPushButton *No_Command;
};

} // namespace dialogs
