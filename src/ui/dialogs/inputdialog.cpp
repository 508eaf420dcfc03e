#include "ui/dialogs/inputdialog.h"

#include "ui/shared.h"
#include "ui/twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

#include <algorithm>
#include <limits>
#include <memory>

namespace dialogs {

InputDialog::InputDialog(const QString &objectName, int widthTwips, int heightTwips, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(objectName);
    setWindowTitle(title());
    setFixedSize(ui::px(widthTwips), ui::px(heightTwips));
}

QLabel *InputDialog::makeLabel(const QString &objectName, const QString &caption, int left, int top, int width,
                               int height)
{
    auto *label = ui::place<QLabel>(this, objectName, left, top, width, height);
    label->setText(caption);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel *InputDialog::makeNote(const QString &objectName, const QString &caption, int left, int top, int width,
                              int height)
{
    auto *note = makeLabel(objectName, caption, left, top, width, height);
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText, ui::IndicatorRed);
    note->setPalette(palette);
    return note;
}

QPushButton *InputDialog::makeButton(const QString &objectName, const QString &caption, int left, int top, int width,
                                     int height)
{
    auto *button = ui::place<DialogButton>(this, objectName, left, top, width, height);
    button->setText(caption);
    // Not bound to Enter: a dialog's buttons would otherwise press on Return.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLineEdit *InputDialog::makeTextBox(const QString &objectName, const QString &text, int left, int top, int width,
                                    int height)
{
    auto *edit = ui::place<QLineEdit>(this, objectName, left, top, width, height);
    edit->setMaxLength(std::numeric_limits<int>::max()); // the boxes have no length limit
    edit->setText(text);
    edit->setCursorPosition(static_cast<int>(edit->text().size()));
    return edit;
}

void InputDialog::confirm()
{
    m_answer.result = engine::DialogConfirmed;
    done(QDialog::Accepted);
}

void InputDialog::cancel()
{
    m_answer.result = engine::DialogCancelled;
    done(QDialog::Rejected);
}

void InputDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void InputDialog::focusCheckShowedMessage(Qt::FocusReason reason, QWidget *takingFocus)
{
    auto *button = qobject_cast<QPushButton *>(takingFocus);
    if (reason != Qt::MouseFocusReason || !button || button->parentWidget() != this || m_interruptedButton == button)
        return;
    // Qt gives the focus before it delivers the press, so the press reaches
    // the button only after the message has closed, and its release is gone.
    // Unless a release does still arrive and clicks it first, press it now.
    m_interruptedButton = button;
    connect(button, &QPushButton::clicked, this, [this] { m_interruptedButton = nullptr; }, Qt::SingleShotConnection);
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (QPushButton *pending = m_interruptedButton) {
                pending->setDown(false);
                pending->click();
            }
        },
        Qt::QueuedConnection);
}

void DialogButton::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void InputDialog::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    // Showing a dialog gives its focus box a Tab-style focus, which would select its text.
    if (visible)
        for (QLineEdit *edit : findChildren<QLineEdit *>(Qt::FindDirectChildrenOnly)) {
            edit->deselect();
            edit->setCursorPosition(static_cast<int>(edit->text().size()));
        }
}

void FilterTrailingCharacters(QLineEdit *edit, std::function<bool(const QString &)> accept)
{
    // Removing a character changes the text and so re-enters this handler;
    // the repeat runs as a loop here instead, so a long paste cannot nest deeply.
    struct Pass {
        bool running = false;
        bool changedAgain = false;
    };
    auto pass = std::make_shared<Pass>();
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, accept = std::move(accept), pass](const QString &) {
        if (pass->running) {
            pass->changedAgain = true;
            return;
        }
        pass->running = true;
        QPointer<QLineEdit> alive(edit);
        do {
            pass->changedAgain = false;
            const QString text = edit->text();
            if (accept(text) || !alive)
                continue;
            qsizetype cut = text.size() - 1;
            if (cut > 0 && text.at(cut).isLowSurrogate() && text.at(cut - 1).isHighSurrogate())
                --cut; // one character, even outside the basic plane
            edit->setText(text.left(std::max<qsizetype>(cut, 0)));
            edit->setCursorPosition(static_cast<int>(edit->text().size()));
        } while (alive && pass->changedAgain);
        pass->running = false;
    });
}

} // namespace dialogs
