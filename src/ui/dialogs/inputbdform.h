#pragma once

#include "ui/dialogs/inputdialog.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace dialogs {

// Asks for the new baud rate of "Modify Baud Rate".
class Input_BD_Form final : public InputDialog
{
public:
    explicit Input_BD_Form(QWidget *parent = nullptr);

private:
    void OK_Command_Click();

    QLabel *Label1;
    QPushButton *No_Command;
    QPushButton *OK_Command;
    QComboBox *Combo1;
};

} // namespace dialogs
