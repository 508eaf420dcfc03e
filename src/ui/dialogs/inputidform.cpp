#include "ui/dialogs/inputidform.h"

#include "ui/addresstext.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

Input_ID_Form::Input_ID_Form(QWidget *parent)
    : InputDialog(QStringLiteral("Input_ID_Form"), 6060, 2400, parent)
{
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Please input the chosen meter address  :"), 360, 420, 3960, 285);
    Input_Text = makeTextBox(QStringLiteral("Input_Text"), QStringLiteral("1"), 4440, 390, 1260, 345);
    OK_Command = makeButton(QStringLiteral("OK_Command"), QStringLiteral("Confirm"), 1440, 1620, 1335, 435);
    No_Command = makeButton(QStringLiteral("No_Command"), QStringLiteral("Cancel"), 3285, 1620, 1335, 435);
    Label2 = makeNote(QStringLiteral("Label2"), QStringLiteral("Note :The meter address is in the range of 1~247."), 360, 1020, 5340, 285);

    // The same address rule as the main window's address box.
    FilterTrailingCharacters(Input_Text, [](const QString &text) { return ValidateAddressText(text) == 0; });

    connect(OK_Command, &QPushButton::clicked, this, &Input_ID_Form::OK_Command_Click);
    connect(No_Command, &QPushButton::clicked, this, &Input_ID_Form::cancel);

    setTabOrder(Input_Text, OK_Command);
    setTabOrder(OK_Command, No_Command);
    Input_Text->setFocus();
}

void Input_ID_Form::OK_Command_Click()
{
    m_answer.value1 = Input_Text->text().toStdString();
    confirm();
}

} // namespace dialogs
