#include "ui/messages/messagebox.h"

#include "ui/messages/showmessage.h"

#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace messages {

namespace {

struct ButtonSpec {
    int id;
    const char *label;
    QMessageBox::ButtonRole role;
};

const ButtonSpec Ok{IdOk, "OK", QMessageBox::AcceptRole};
const ButtonSpec Cancel{IdCancel, "Cancel", QMessageBox::RejectRole};
const ButtonSpec Abort{IdAbort, "Abort", QMessageBox::DestructiveRole};
const ButtonSpec Retry{IdRetry, "Retry", QMessageBox::AcceptRole};
const ButtonSpec Ignore{IdIgnore, "Ignore", QMessageBox::ActionRole};
const ButtonSpec Yes{IdYes, "Yes", QMessageBox::YesRole};
const ButtonSpec No{IdNo, "No", QMessageBox::NoRole};

std::vector<ButtonSpec> buttonsOf(int style)
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

} // namespace

int ShowMessageBox(QWidget *owner, const QString &text, int style, const QString &title)
{
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setIcon(iconOf(style));

    QMap<QAbstractButton *, int> ids;
    QAbstractButton *escape = nullptr;
    QPushButton *first = nullptr;
    const auto specs = buttonsOf(style);
    for (const auto &spec : specs) {
        auto *button = box.addButton(QString::fromLatin1(spec.label), spec.role);
        ids.insert(button, spec.id);
        if (!first)
            first = button;
        // Closing the box means "Cancel", or "OK" where it is the only button;
        // a box with neither cannot be closed, only answered.
        if (spec.id == IdCancel || (specs.size() == 1 && spec.id == IdOk))
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
