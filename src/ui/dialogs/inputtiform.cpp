#include "ui/dialogs/inputtiform.h"

#include "engine/timeentry.h"
#include "ui/messages/showmessage.h"
#include "ui/shared.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

Input_TI_Form::Input_TI_Form(QWidget *parent, const QDateTime &now)
    : InputDialog(QStringLiteral("Input_TI_Form"), 6360, 2460, parent)
{
    const QDateTime moment = now.isValid() ? now : QDateTime::currentDateTime();
    const QDate date = moment.date();
    const QTime time = moment.time();

    No_Command = makeButton(QStringLiteral("No_Command"), QStringLiteral("Cancel"), 3465, 1620, 1335, 435);
    OK_Command = makeButton(QStringLiteral("OK_Command"), QStringLiteral("Confirm"), 1560, 1620, 1335, 435);
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Date  :"), 360, 450, 780, 285);
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Time :"), 3300, 450, 720, 285);
    // Offered in the form the checks accept: "HH:MM:SS" on the 24-hour clock.
    Time_Text = makeTextBox(QStringLiteral("Time_Text"),
                            ui::qtext(engine::DefaultTimeText(time.hour(), time.minute(), time.second())),
                            4080, 420, 1920, 345);
    Date_Text = makeTextBox(QStringLiteral("Date_Text"),
                            ui::qtext(engine::DefaultDateText(date.year(), date.month(), date.day())),
                            1200, 420, 1920, 345);
    Label3 = makeNote(QStringLiteral("Label3"), QStringLiteral("Note : Date format is MM/DD/YYYY. Time format is HH:MM:SS."),
                      360, 1020, 5760, 285);

    connect(OK_Command, &QPushButton::clicked, this, &Input_TI_Form::OK_Command_Click);
    connect(No_Command, &QPushButton::clicked, this, &Input_TI_Form::cancel);

    setTabOrder(No_Command, OK_Command);
    setTabOrder(OK_Command, Time_Text);
    setTabOrder(Time_Text, Date_Text);
    No_Command->setFocus();
}

void Input_TI_Form::OK_Command_Click()
{
    const QString date = Date_Text->text();
    const QString time = Time_Text->text();
    const auto entry = engine::CheckTimeEntry(date.toStdString(), time.toStdString());
    if (!entry.accepted) {
        // Each confirmation clears the bytes and fills them as far as the checks get.
        m_answer.timeData = entry.timeData;
        messages::ShowMessage(ui::qtext(entry.message), messages::IconError, QStringLiteral("ERROR"));
        return;
    }
    m_answer = engine::ConfirmedTime(entry.timeData, date.toStdString(), time.toStdString());
    confirm();
}

} // namespace dialogs
