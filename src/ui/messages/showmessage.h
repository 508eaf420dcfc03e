#pragma once

#include <QString>

class QWidget;

// Every message the operator sees goes through ShowMessage.
namespace messages {

// Style = one icon code + one button-set code, as the system message box has them.
enum MessageStyle : int {
    ButtonsOk = 0,
    ButtonsOkCancel = 1,
    ButtonsAbortRetryIgnore = 2,
    ButtonsYesNoCancel = 3,
    ButtonsYesNo = 4,
    ButtonsRetryCancel = 5,
    IconError = 16,
    IconQuestion = 32,
    IconWarning = 48,
    IconInformation = 64,
};

// Ids of the buttons, returned by ShowMessage.
enum MessageButton : int { IdOk = 1, IdCancel = 2, IdAbort = 3, IdRetry = 4, IdIgnore = 5, IdYes = 6, IdNo = 7 };

// Shown as the title when a caller passes an empty caption.
inline const QString ApplicationTitle = QStringLiteral("Quorvane");

// Shows the message modally; the presenter decides how.
class MessagePresenter
{
public:
    virtual ~MessagePresenter() = default;
    virtual int present(QWidget *owner, const QString &text, int style, const QString &caption) = 0;
};

// Replaces the presenter (tests, the headless demo); nullptr restores the modal box.
void SetMessagePresenter(MessagePresenter *presenter);
// The window that owns the boxes (the main window).
void SetMessageOwner(QWidget *owner);

// Shows text with the style's icon and buttons, labelled "OK", "Cancel",
// "Yes", "No", "Abort", "Ignore", "Retry" whatever the system's language;
// returns the id of the pressed button (closing the box counts as "Cancel",
// or "OK" where "OK" is the only button).
int ShowMessage(const QString &text, int style, const QString &caption);

} // namespace messages
