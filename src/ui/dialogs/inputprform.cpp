#include "ui/dialogs/inputprform.h"

#include "ui/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace dialogs {

Input_PR_Form::Input_PR_Form(QWidget *parent)
    : InputDialog(QStringLiteral("Input_PR_Form"), 5700, 2460, parent)
{
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Please input the chosen parity : "), 360, 420, 3480, 285);
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Please input the chosen stop bit : "), 360, 900, 3480, 285);
    Combo1 = ui::place<QComboBox>(this, QStringLiteral("Combo1"), 3960, 375, 1380, 345);
    Combo1->addItems({QStringLiteral("NONE"), QStringLiteral("ODD"), QStringLiteral("EVEN")});
    Combo2 = ui::place<QComboBox>(this, QStringLiteral("Combo2"), 3960, 855, 1380, 345);
    Combo2->addItems({QStringLiteral("1"), QStringLiteral("2")});
    OK_Command = makeButton(QStringLiteral("OK_Command"), QStringLiteral("Confirm"), 1260, 1620, 1335, 435);
    No_Command = makeButton(QStringLiteral("No_Command"), QStringLiteral("Cancel"), 3105, 1620, 1335, 435);

    connect(Combo1, &QComboBox::activated, this, &Input_PR_Form::Combo1_Click);
    connect(Combo2, &QComboBox::activated, this, &Input_PR_Form::Combo2_Click);
    connect(OK_Command, &QPushButton::clicked, this, &Input_PR_Form::OK_Command_Click);
    connect(No_Command, &QPushButton::clicked, this, &Input_PR_Form::cancel);

    setTabOrder(Combo1, Combo2);
    setTabOrder(Combo2, OK_Command);
    setTabOrder(OK_Command, No_Command);
    Combo1->setFocus();
}

void Input_PR_Form::Combo1_Click()
{
    const QString parity = Combo1->currentText();
    if (parity == QLatin1String("EVEN") || parity == QLatin1String("ODD"))
        Combo2->setCurrentText(QStringLiteral("1"));
}

void Input_PR_Form::Combo2_Click()
{
    if (Combo2->currentText() == QLatin1String("2"))
        Combo1->setCurrentText(QStringLiteral("NONE"));
}

void Input_PR_Form::OK_Command_Click()
{
    m_answer.value1 = Combo1->currentText().toStdString();
    m_answer.value2 = Combo2->currentText().toStdString();
    confirm();
}

} // namespace dialogs
