#include "ui/dialogs/historyform.h"

#include "history/historylog.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QEvent>
#include <QTimer>
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
    // Uncovering the window repaints the text box: the moment to look again.
    Text1->viewport()->installEventFilter(this);
}

void History_Form::refresh()
{
    const auto stamp = m_log.stamp();
    if (stamp && stamp == m_readStamp)
        return;
    const auto lines = m_log.newestLines(history::ViewerLines);
    if (!lines)
        return;
    m_readStamp = stamp;
    // Plain text only: a log line is never read as markup.
    QString text = lines->join(QLatin1Char('\n'));
    if (stamp.value_or(history::FileStamp{}).size >= history::NoteThreshold)
        text += QLatin1Char('\n') + SizeNote;
    if (text == Text1->toPlainText())
        return;
    Text1->setPlainText(text);
    Text1->moveCursor(QTextCursor::End);
    Text1->ensureCursorVisible();
}

void History_Form::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void History_Form::closeEvent(QCloseEvent *event)
{
    // Each opening starts empty, so a log deleted meanwhile shows nothing stale.
    Text1->clear();
    m_readStamp.reset();
    QWidget::closeEvent(event);
}

bool History_Form::eventFilter(QObject *watched, QEvent *event)
{
    // Not while painting: the check runs on the next turn, once per burst of paints.
    if (event->type() == QEvent::Paint && !m_checkQueued) {
        m_checkQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_checkQueued = false;
            if (isVisible())
                refresh();
        });
    }
    return QWidget::eventFilter(watched, event);
}

void History_Form::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
}
