#pragma once

#include "ui/dialogs/inputdialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace dialogs {

// Asks for the new slave address of "Modify Meter Address".
class Input_ID_Form final : public InputDialog
{
public:
    explicit Input_ID_Form(QWidget *parent = nullptr);

private:
    void OK_Command_Click();

    QLabel *Label1;
    QLineEdit *Input_Text;
    QPushButton *OK_Command;
    QPushButton *No_Command;
    QLabel *Label2;
};

} // namespace dialogs
