#pragma once

#include "ui/dialogs/inputdialog.h"

#include <QDateTime>

class QLabel;
class QLineEdit;
class QPushButton;

namespace dialogs {

// Asks for the date and time of "Set Time", starting from the computer's
// clock, and turns them into the eight bytes of the request.
class Input_TI_Form final : public InputDialog
{
public:
    // now: the moment to offer; an invalid one means the local clock.
    explicit Input_TI_Form(QWidget *parent = nullptr, const QDateTime &now = QDateTime());

private:
    void OK_Command_Click();

    QPushButton *No_Command;
    QPushButton *OK_Command;
    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Time_Text;
    QLineEdit *Date_Text;
    QLabel *Label3;
};

} // namespace dialogs
