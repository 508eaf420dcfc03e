#pragma once

#include "history/historylog.h"

#include <QWidget>
#include <optional>

class QPlainTextEdit;

// The modeless viewer of the newest History.log entries.
class History_Form : public QWidget
{
    Q_OBJECT
public:
    History_Form(const history::HistoryLog &log, QWidget *parent = nullptr);

    // Re-reads the log if it changed since it was last read; on a read failure
    // the text shown stays as it was. The scroll position stays where the
    // operator left it unless the text changed.
    void refresh();

    QPlainTextEdit *Text1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const history::HistoryLog &m_log;
    std::optional<history::FileStamp> m_readStamp; // of the log as last shown
    bool m_checkQueued = false;
};
