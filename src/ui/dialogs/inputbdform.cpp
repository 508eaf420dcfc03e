#include "ui/dialogs/inputbdform.h"

#include "catalogue/catalogue.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace dialogs {

Input_BD_Form::Input_BD_Form(QWidget *parent)
    : InputDialog(QStringLiteral("Input_BD_Form"), 5700, 1980, parent)
{
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Please input the chosen baudrate : "), 360, 420, 3480, 285);
    No_Command = makeButton(QStringLiteral("No_Command"), QStringLiteral("Cancel"), 3105, 1200, 1335, 435);
    OK_Command = makeButton(QStringLiteral("OK_Command"), QStringLiteral("Confirm"), 1260, 1200, 1335, 435);
    Combo1 = ui::place<QComboBox>(this, QStringLiteral("Combo1"), 3960, 375, 1380, 345);
    for (const auto &rate : catalogue::MeterBauds())
        Combo1->addItem(QString::number(rate.baud));
    Combo1->setCurrentText(QStringLiteral("2400"));

    connect(OK_Command, &QPushButton::clicked, this, &Input_BD_Form::OK_Command_Click);
    connect(No_Command, &QPushButton::clicked, this, &Input_BD_Form::cancel);

    setTabOrder(No_Command, OK_Command);
    setTabOrder(OK_Command, Combo1);
    No_Command->setFocus();
}

void Input_BD_Form::OK_Command_Click()
{
    m_answer.value1 = Combo1->currentText().toStdString();
    confirm();
}

} // namespace dialogs
