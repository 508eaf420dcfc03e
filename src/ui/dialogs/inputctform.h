#pragma once

#include "ui/dialogs/inputdialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace dialogs {

// Asks for the CT1 and CT2 values of "Set CT"; both boxes take digits only.
class Input_CT_Form final : public InputDialog
{
public:
    explicit Input_CT_Form(QWidget *parent = nullptr);

private:
    void OK_Command_Click();

    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Input1_Text;
    QLineEdit *Input2_Text;
    QPushButton *No_Command;
    QPushButton *OK_Command;
};

} // namespace dialogs
