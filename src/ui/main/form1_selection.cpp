#include "ui/main/form1.h"

#include "catalogue/catalogue.h"
#include "ui/addresstext.h"
#include "ui/shared.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>

using ui::qtext;

void Form1::Combo7_Click()
{
    const auto commands = catalogue::CommandsOf(Combo7->currentText().toStdString());
    Combo8->clear();
    if (commands) {
        for (const auto command : commands->commands)
            Combo8->addItem(qtext(command));
        Combo8->setCurrentText(qtext(commands->defaultCommand));
    }
    Combo8_Click();
}

void Form1::Combo8_Click()
{
    m_state.FrameKind = catalogue::GetFrameKind(Combo7->currentText().toStdString(), Combo8->currentText().toStdString());
    Find_Code(Combo7->currentText(), Combo8->currentText());
}

void Form1::Find_Code(const QString &meter_s, const QString &code_s)
{
    const auto codes = catalogue::Find_Code(meter_s.toStdString(), code_s.toStdString());
    m_state.RequestCode = codes ? std::string(codes->request) : std::string();
    m_state.ReplyCode = codes ? std::string(codes->reply) : std::string();
}

void Form1::addr_Text_Change()
{
    // Each rejected text loses its last character, one message at a time,
    // until what is left is a valid address; done in a loop rather than by
    // re-entering this handler for every removed character.
    if (m_repairingAddress)
        return;
    QScopedValueRollback<bool> guard(m_repairingAddress, true);
    QString address = addr_Text->text();
    while (ValidateAddressText(address) == 2) {
        address.chop(1);
        addr_Text->setText(address);
        addr_Text->setCursorPosition(static_cast<int>(address.size()));
    }
    Label5->setText(QStringLiteral("Current Meter Address : ") + address);
}
