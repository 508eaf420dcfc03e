#include "ui/dialogs/parameterdialogs.h"

#include "catalogue/catalogue.h"
#include "ui/dialogs/inputbdform.h"
#include "ui/dialogs/inputctform.h"
#include "ui/dialogs/inputidform.h"
#include "ui/dialogs/inputprform.h"
#include "ui/dialogs/inputtaform.h"
#include "ui/dialogs/inputtiform.h"

#include "ui/shared.h"

#include <QPointer>

namespace dialogs {

ModalParameterDialogs::ModalParameterDialogs(QWidget *owner)
    : m_owner(owner)
{
}

engine::DialogAnswer ModalParameterDialogs::ask(std::string_view command, std::string_view meterType)
{
    namespace cmd = catalogue::command;
    QPointer<InputDialog> dialog;
    if (command == cmd::ModifyMeterAddress)
        dialog = new Input_ID_Form(m_owner);
    else if (command == cmd::ModifyBaudRate)
        dialog = new Input_BD_Form(m_owner);
    else if (command == cmd::ModifyParity)
        dialog = new Input_PR_Form(m_owner);
    else if (command == cmd::SetCt)
        dialog = new Input_CT_Form(m_owner);
    else if (command == cmd::SetTime)
        dialog = new Input_TI_Form(m_owner);
    else if (command == cmd::SetTariff)
        dialog = new Input_TA_Form(ui::qtext(meterType), m_owner);
    if (!dialog)
        return {};
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->exec();
    // The owner may have gone with the dialog while the modal loop ran.
    if (!dialog)
        return {};
    const engine::DialogAnswer answer = dialog->answer();
    delete dialog.data();
    return answer;
}

} // namespace dialogs
