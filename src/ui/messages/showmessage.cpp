#include "ui/messages/showmessage.h"

#include "ui/messages/messagebox.h"

#include <QPointer>
#include <QWidget>

namespace messages {

namespace {
MessagePresenter *g_presenter = nullptr;
QPointer<QWidget> g_owner;
} // namespace

void SetMessagePresenter(MessagePresenter *presenter)
{
    g_presenter = presenter;
}

void SetMessageOwner(QWidget *owner)
{
    g_owner = owner;
}

int ShowMessage(const QString &text, int style, const QString &caption)
{
    const QString title = caption.isEmpty() ? ApplicationTitle : caption;
    if (g_presenter)
        return g_presenter->present(g_owner, text, style, title);
    return ShowMessageBox(g_owner, text, style, title);
}

} // namespace messages
