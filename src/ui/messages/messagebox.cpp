#include "ui/messages/messagebox.h"

#include "ui/messages/showmessage.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace messages {

namespace {

struct ButtonLabel {
    int id;
    const char *label;
    QMessageBox::ButtonRole role;
};

const ButtonLabel Ok{IdOk, "OK", QMessageBox::AcceptRole};
const ButtonLabel Cancel{IdCancel, "Cancel", QMessageBox::RejectRole};
const ButtonLabel Abort{IdAbort, "Abort", QMessageBox::DestructiveRole};
const ButtonLabel Retry{IdRetry, "Retry", QMessageBox::AcceptRole};
const ButtonLabel Ignore{IdIgnore, "Ignore", QMessageBox::ActionRole};
const ButtonLabel Yes{IdYes, "Yes", QMessageBox::YesRole};
const ButtonLabel No{IdNo, "No", QMessageBox::NoRole};

std::vector<ButtonLabel> buttonsOf(int style)
{
    switch (style & 0x0F) {
    case ButtonsOkCancel:
        return {Ok, Cancel};
    case ButtonsAbortRetryIgnore:
        return {Abort, Retry, Ignore};
    case ButtonsYesNoCancel:
        return {Yes, No, Cancel};
    case ButtonsYesNo:
        return {Yes, No};
    case ButtonsRetryCancel:
        return {Retry, Cancel};
    default:
        return {Ok};
    }
}

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case IconError:
        return QMessageBox::Critical;
    case IconQuestion:
        return QMessageBox::Question;
    case IconWarning:
        return QMessageBox::Warning;
    case IconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// A box without "Cancel" and with more than an "OK" cannot be closed, only
// answered: its title bar has no close button and Escape does nothing.
class AnswerOnlyBox final : public QMessageBox
{
public:
    AnswerOnlyBox(QWidget *owner, bool closable)
        : QMessageBox(owner)
        , m_closable(closable)
    {
        if (!m_closable)
            setWindowFlag(Qt::WindowCloseButtonHint, false);
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (!m_closable && !clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (!m_closable && event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

private:
    bool m_closable;
};

} // namespace

int ShowMessageBox(QWidget *owner, const QString &text, int style, const QString &title)
{
    const auto labels = buttonsOf(style);
    const bool closable = labels.size() == 1
                          || std::any_of(labels.begin(), labels.end(), [](const ButtonLabel &l) { return l.id == IdCancel; });
    AnswerOnlyBox box(owner, closable);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setIcon(iconOf(style));

    QMap<QAbstractButton *, int> ids;
    QAbstractButton *escape = nullptr;
    QPushButton *first = nullptr;
    for (const auto &label : labels) {
        auto *button = box.addButton(QString::fromLatin1(label.label), label.role);
        ids.insert(button, label.id);
        if (!first)
            first = button;
        // Closing the box means "Cancel", or "OK" where it is the only button.
        if (label.id == IdCancel || (labels.size() == 1 && label.id == IdOk))
            escape = button;
    }
    box.setDefaultButton(first);
    box.setEscapeButton(escape);
    box.exec();

    if (auto *clicked = box.clickedButton(); clicked && ids.contains(clicked))
        return ids.value(clicked);
    return escape ? ids.value(escape) : IdCancel;
}

} // namespace messages
