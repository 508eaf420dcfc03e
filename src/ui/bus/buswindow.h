#pragma once

#include "foundmodel.h"
#include "watchmodel.h"

#include "jobs/frametrace.h"
#include "jobs/linesetup.h"

#include <QFile>
#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QStandardItemModel;
class QTableView;

namespace history {
class HistoryLog;
}
namespace jobs {
class Job;
}

namespace bus {

class WatchChart;

// "Quorvane Bus": the lines of a cabinet swept for meters, the meters found
// re-addressed with proof, and watched. The work itself is the engine's jobs;
// the window shows what they report and never waits on a line.
class BusWindow : public QMainWindow
{
    Q_OBJECT
public:
    struct Setup {
        QStringList givenPorts;  // --port, offered first
        QString historyFolder;   // History.log: beside the program,
        QString fallbackFolder;  // or in the user's data folder
    };
    explicit BusWindow(const Setup &setup, QWidget *parent = nullptr);
    ~BusWindow() override;

    void addLine(const QString &port, const engine::LineSettings &settings, int timeoutMs = 1000);
    FoundModel &found() { return m_found; }
    WatchModel &watched() { return m_watch; }
    bool busy() const { return m_job != nullptr; }

    void startScan();
    void cancelWork();
    void applyChanges();
    // Rows given to the watch: the selected ones, or all when none is selected.
    void startWatch();
    void stopWatch();
    bool openPlan(const QString &path);
    bool savePlan(const QString &path);
    // By its suffix: .json as scan --json prints, anything else the plan CSV.
    bool exportTable(const QString &path);
    // The CSV log of the next watch; empty: none.
    void setWatchLog(const QString &path) { m_watchLogPath = path; }

signals:
    void workFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildLines();
    QWidget *buildScan();
    QWidget *buildFound();
    QWidget *buildWatch();
    QWidget *buildTrace();
    void setBusy(jobs::Job *job, const QString &what);
    void finished();
    void say(const QString &text);
    void lineState(const std::string &port, const QString &state);
    jobs::LineSetup lineOf(const std::string &port) const;
    void trace(const std::string &port, std::span<const std::uint8_t> request, const serial::ExchangeResult &result);
    void chooseFile(const QString &caption, bool save, const QString &filter, std::function<void(const QString &)> then);

    Setup m_setup;
    std::unique_ptr<history::HistoryLog> m_history;
    std::vector<jobs::LineSetup> m_lines;
    QStandardItemModel *m_linesModel;
    FoundModel m_found;
    WatchModel m_watch;
    QSortFilterProxyModel *m_foundSorted;
    jobs::Job *m_job = nullptr;
    QString m_watchLogPath;
    QFile m_watchLog;
    std::vector<std::vector<int>> m_watchRows; // per polled line: each meter's watch row
    bool m_closeWhenDone = false;
    // Per line: its frames' times since its first and gaps since the one before.
    struct TraceState {
        std::ostringstream text;
        jobs::Tracer tracer{text};
    };
    std::map<std::string, std::unique_ptr<TraceState>> m_tracers;

    QComboBox *m_portBox;
    QComboBox *m_baudBox;
    QComboBox *m_framingBox;
    QSpinBox *m_lineTimeout;
    QTableView *m_linesView;
    QLineEdit *m_bauds;
    QCheckBox *m_parities[3];
    QCheckBox *m_stopBits[2];
    QLineEdit *m_addresses;
    QSpinBox *m_scanTimeout;
    QPushButton *m_scanButton;
    QPushButton *m_cancelButton;
    QProgressBar *m_progress;
    QLabel *m_progressText;
    QTableView *m_foundView;
    QPushButton *m_applyButton;
    QSpinBox *m_interval;
    QPushButton *m_watchButton;
    QTableView *m_watchView;
    WatchChart *m_chart;
    QComboBox *m_traceLine;
    QPlainTextEdit *m_trace;
    QLabel *m_status;
};

} // namespace bus
