#pragma once

#include "engine/dialoganswer.h"

#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include <functional>

class QKeyEvent;
class QLabel;
class QLineEdit;

namespace dialogs {

// What every parameter dialog shares: the fixed window titled "Input Data",
// the answer it hands back, and buttons that Enter presses only when focused.
class InputDialog : public QDialog
{
public:
    // Every dialog's window title.
    static QString title() { return QStringLiteral("Input Data"); }

    // Opens with the caret after the text of each box, nothing selected.
    void setVisible(bool visible) override;

    // What the dialog answered: confirmed with its values, cancelled, or
    // nothing when closed by its title bar.
    const engine::DialogAnswer &answer() const { return m_answer; }

protected:
    InputDialog(const QString &objectName, int widthTwips, int heightTwips, QWidget *parent);

    QLabel *makeLabel(const QString &objectName, const QString &caption, int left, int top, int width, int height);
    // A note label, drawn in red.
    QLabel *makeNote(const QString &objectName, const QString &caption, int left, int top, int width, int height);
    QPushButton *makeButton(const QString &objectName, const QString &caption, int left, int top, int width,
                            int height);
    QLineEdit *makeTextBox(const QString &objectName, const QString &text, int left, int top, int width, int height);

    // Answer 1 (the values are already in m_answer) and close.
    void confirm();
    // Answer 2 and close; the title-bar close answers nothing.
    void cancel();

    // Escape closes nothing: the dialogs have no cancel key.
    void keyPressEvent(QKeyEvent *event) override;

    // A box's focus-loss check has just shown a message. When the focus left
    // the box because the operator pressed one of the dialog's buttons, the
    // release of that press went to the message box, so the button's own
    // action is carried out here once the message is closed.
    // takingFocus is the widget that had just taken the focus when the check began.
    void focusCheckShowedMessage(Qt::FocusReason reason, QWidget *takingFocus);

    engine::DialogAnswer m_answer;

private:
    QPointer<QPushButton> m_interruptedButton;
};

// A dialog button: Space or Enter presses it while it has the focus, but it
// is never the dialog's default button, so Enter elsewhere presses nothing.
class DialogButton final : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// Checks edit's text on every change, typed or set by code. When accept
// refuses it (having shown its own message), the last character goes; that
// is a change too, so the check repeats on the shorter text, one message per
// removed character, until the text passes.
void FilterTrailingCharacters(QLineEdit *edit, std::function<bool(const QString &)> accept);

} // namespace dialogs
