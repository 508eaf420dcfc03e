#include "ui/dialogs/inputctform.h"

#include "ui/addresstext.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

Input_CT_Form::Input_CT_Form(QWidget *parent)
    : InputDialog(QStringLiteral("Input_CT_Form"), 5880, 2460, parent)
{
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Please input the chosen CT1 data  :"), 360, 420, 3660, 285);
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Please input the chosen CT2 data  :"), 360, 900, 3660, 285);
    Input1_Text = makeTextBox(QStringLiteral("Input1_Text"), QString(), 4140, 390, 1380, 345);
    Input2_Text = makeTextBox(QStringLiteral("Input2_Text"), QString(), 4140, 870, 1380, 345);
    No_Command = makeButton(QStringLiteral("No_Command"), QStringLiteral("Cancel"), 3180, 1620, 1335, 435);
    OK_Command = makeButton(QStringLiteral("OK_Command"), QStringLiteral("Confirm"), 1320, 1620, 1335, 435);

    FilterTrailingCharacters(Input1_Text, ui::AcceptDigitsOnly);
    FilterTrailingCharacters(Input2_Text, ui::AcceptDigitsOnly);

    connect(OK_Command, &QPushButton::clicked, this, &Input_CT_Form::OK_Command_Click);
    connect(No_Command, &QPushButton::clicked, this, &Input_CT_Form::cancel);

    setTabOrder(Input1_Text, Input2_Text);
    setTabOrder(Input2_Text, No_Command);
    setTabOrder(No_Command, OK_Command);
    Input1_Text->setFocus();
}

void Input_CT_Form::OK_Command_Click()
{
    m_answer.value1 = Input1_Text->text().toStdString();
    m_answer.value2 = Input2_Text->text().toStdString();
    confirm();
}

} // namespace dialogs
