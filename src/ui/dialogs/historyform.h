#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace history {
class HistoryLog;
}

// The modeless viewer of the newest History.log entries.
class History_Form : public QWidget
{
    Q_OBJECT
public:
    History_Form(const history::HistoryLog &log, QWidget *parent = nullptr);

    // Re-reads the log; on a read failure the text shown stays as it was.
    void refresh();

    QPlainTextEdit *Text1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    const history::HistoryLog &m_log;
};
