#include "ui/dialogs/historyform.h"

#include "history/historylog.h"
#include "ui/twips.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace {
const QString SizeNote = QStringLiteral(
    "Note : The file volume of History.log is beyond 1.5MB,it will be deleted automatically when it's more than "
    "2MB.Please save it in time.");
}

History_Form::History_Form(const history::HistoryLog &log, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_log(log)
{
    setObjectName(QStringLiteral("History_Form"));
    setWindowTitle(QStringLiteral("The Historical Operation Information"));
    setFixedSize(ui::px(11895), ui::px(6135));

    Text1 = ui::place<QPlainTextEdit>(this, QStringLiteral("Text1"), 0, 0, 11895, 6135);
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont font = Text1->font();
    font.setFamilies({QStringLiteral("Segoe UI Symbol"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(12);
    Text1->setFont(font);
}

void History_Form::refresh()
{
    const auto lines = m_log.newestLines(history::ViewerLines);
    if (!lines)
        return;
    // Plain text only: a log line is never read as markup.
    QString text = lines->join(QLatin1Char('\n'));
    if (m_log.size().value_or(0) >= history::NoteThreshold)
        text += QLatin1Char('\n') + SizeNote;
    if (text != Text1->toPlainText())
        Text1->setPlainText(text);
    Text1->moveCursor(QTextCursor::End);
    Text1->ensureCursorVisible();
}

void History_Form::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void History_Form::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
}
