#include "buswindow.h"
#include "changedelegate.h"
#include "watchchart.h"

#include "catalogue/catalogue.h"
#include "commissioning/plancsv.h"
#include "commissioning/readinglog.h"
#include "commissioning/sweepplan.h"
#include "history/historylog.h"
#include "jobs/changejob.h"
#include "jobs/frametrace.h"
#include "jobs/polljob.h"
#include "jobs/scanjob.h"
#include "serial/portdiscovery.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <sstream>

namespace bus {

namespace {

constexpr int TraceLinesKept = 2000;

template <typename Widget>
Widget *named(Widget *widget, const QString &name)
{
    widget->setAccessibleName(name);
    return widget;
}

QPushButton *button(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setAccessibleName(QString(text).remove(QLatin1String("...")));
    return b;
}

QString stepText(const jobs::StepResult &r)
{
    QString text = QString::fromStdString(r.command + " to " + r.value + ": ");
    if (!r.acknowledged.empty())
        text += QStringLiteral("acknowledged, ");
    switch (r.verdict) {
    case jobs::Verdict::Verified: return text + QStringLiteral("verified: ") + QString::fromStdString(r.answersAt);
    case jobs::Verdict::Unverified: return text + QStringLiteral("not verified: ") + QString::fromStdString(r.problem);
    default: return text + QStringLiteral("failed: ") + QString::fromStdString(r.problem);
    }
}

} // namespace

BusWindow::BusWindow(const Setup &setup, QWidget *parent)
    : QMainWindow(parent)
    , m_setup(setup)
    , m_history(std::make_unique<history::HistoryLog>(setup.historyFolder, setup.fallbackFolder))
    , m_linesModel(new QStandardItemModel(0, 4, this))
    , m_foundSorted(new QSortFilterProxyModel(this))
{
    setObjectName(QStringLiteral("BusWindow"));
    setWindowTitle(QStringLiteral("Quorvane Bus"));
    setAccessibleName(QStringLiteral("Quorvane Bus"));
    m_linesModel->setHorizontalHeaderLabels({tr("Line"), tr("Settings"), tr("Time-out (ms)"), tr("State")});

    auto *top = new QWidget(this);
    auto *topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(buildLines(), 3);
    topLayout->addWidget(buildScan(), 2);

    auto *tabs = named(new QTabWidget(this), tr("Views"));
    tabs->addTab(buildFound(), tr("Found meters"));
    tabs->addTab(buildWatch(), tr("Watch"));

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(tabs);
    splitter->addWidget(buildTrace());
    splitter->setStretchFactor(1, 3);
    setCentralWidget(splitter);
    m_status = named(new QLabel(this), tr("Status"));
    statusBar()->addWidget(m_status, 1);
    connect(&m_found, &FoundModel::refused, this, &BusWindow::say);
    resize(1200, 800);
}

BusWindow::~BusWindow()
{
    // A job still running ends here without telling anyone: nothing of this window is left to tell.
    if (m_job) {
        m_job->disconnect(this);
        m_job->cancel();
    }
}

QWidget *BusWindow::buildLines()
{
    auto *box = named(new QGroupBox(tr("Lines"), this), tr("Lines"));
    auto *layout = new QVBoxLayout(box);
    m_linesView = named(new QTableView(box), tr("Lines"));
    m_linesView->setModel(m_linesModel);
    m_linesView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_linesView->horizontalHeader()->setStretchLastSection(true);
    m_linesView->verticalHeader()->hide();
    m_linesView->setTextElideMode(Qt::ElideLeft); // a port's own name is at the end of its path
    m_linesView->setColumnWidth(0, 260);
    layout->addWidget(m_linesView);

    auto *row = new QHBoxLayout;
    m_portBox = named(new QComboBox(box), tr("Port"));
    m_portBox->setEditable(true);
    m_portBox->setMinimumContentsLength(22);
    // The same ports the main window offers, without opening any: a serial
    // device, a path, or a gateway (rtu-tcp://HOST:PORT, modbus-tcp://HOST:PORT).
    const auto ports = serial::mergeCandidates(serial::givenCandidates(m_setup.givenPorts), serial::systemCandidates());
    for (const auto &entry : ports)
        m_portBox->addItem(entry.device);
    m_baudBox = named(new QComboBox(box), tr("Baud rate"));
    for (const auto &baud : catalogue::MeterBauds())
        m_baudBox->addItem(QString::number(baud.baud));
    m_baudBox->setCurrentText(QStringLiteral("9600"));
    m_framingBox = named(new QComboBox(box), tr("Parity and stop bits"));
    for (const auto &framing : catalogue::MeterFramings())
        m_framingBox->addItem(QString::fromLatin1(framing.parity.data(), qsizetype(framing.parity.size())).toLower()
                              + QLatin1Char('/') + QString::fromLatin1(framing.stopBits.data(), qsizetype(framing.stopBits.size())));
    m_lineTimeout = named(new QSpinBox(box), tr("Time-out in milliseconds"));
    m_lineTimeout->setRange(10, 60000);
    m_lineTimeout->setValue(1000);
    m_lineTimeout->setSuffix(tr(" ms"));
    auto *add = button(tr("Add line"), box);
    auto *remove = button(tr("Remove line"), box);
    for (QWidget *w : std::initializer_list<QWidget *>{m_portBox, m_baudBox, m_framingBox, m_lineTimeout, add, remove})
        row->addWidget(w);
    layout->addLayout(row);
    connect(add, &QPushButton::clicked, this, [this] {
        engine::LineSettings settings;
        settings.baud = m_baudBox->currentText().toInt();
        const auto parts = m_framingBox->currentText().split(QLatin1Char('/'));
        settings.parity = engine::ParityFromWord(parts.value(0).toStdString()).value_or(engine::Parity::None);
        settings.stopBits = engine::StopBitsFromText(parts.value(1).toStdString()).value_or(engine::StopBits::One);
        addLine(m_portBox->currentText().trimmed(), settings, m_lineTimeout->value());
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const auto selected = m_linesView->selectionModel()->selectedRows();
        if (selected.isEmpty() || busy())
            return;
        const int row = selected.front().row();
        m_lines.erase(m_lines.begin() + row);
        m_linesModel->removeRow(row);
        m_traceLine->removeItem(row);
    });
    return box;
}

void BusWindow::addLine(const QString &port, const engine::LineSettings &settings, int timeoutMs)
{
    if (port.isEmpty()) {
        say(tr("Name a port or a gateway first."));
        return;
    }
    for (const auto &line : m_lines)
        if (QString::fromStdString(line.port) == port) {
            say(tr("%1 is already a line.").arg(port));
            return;
        }
    jobs::LineSetup line;
    line.port = port.toStdString();
    line.settings = settings;
    line.timeoutMs = timeoutMs;
    m_lines.push_back(line);
    const bool gateway = port.contains(QLatin1String("://"));
    m_linesModel->appendRow({new QStandardItem(port),
                             new QStandardItem(gateway ? tr("the gateway's") : QString::fromStdString(engine::ShortText(settings))),
                             new QStandardItem(QString::number(timeoutMs)), new QStandardItem(tr("ready"))});
    m_traceLine->addItem(port);
}

QWidget *BusWindow::buildScan()
{
    auto *box = named(new QGroupBox(tr("Scan"), this), tr("Scan"));
    auto *form = new QFormLayout(box);
    m_bauds = named(new QLineEdit(box), tr("Baud rates to sweep"));
    m_bauds->setPlaceholderText(tr("all the meters' own"));
    form->addRow(tr("Baud rates"), m_bauds);
    auto *parities = new QHBoxLayout;
    const char *const parityWords[] = {"none", "even", "odd"};
    for (int i = 0; i < 3; ++i) {
        m_parities[i] = named(new QCheckBox(QString::fromLatin1(parityWords[i]), box), tr("Parity %1").arg(QLatin1String(parityWords[i])));
        m_parities[i]->setChecked(true);
        parities->addWidget(m_parities[i]);
    }
    for (int i = 0; i < 2; ++i) {
        m_stopBits[i] = named(new QCheckBox(tr("%1 stop bit%2").arg(i + 1).arg(i ? "s" : ""), box), tr("%1 stop bits").arg(i + 1));
        m_stopBits[i]->setChecked(true);
        parities->addWidget(m_stopBits[i]);
    }
    form->addRow(tr("Parity, stop bits"), parities);
    m_addresses = named(new QLineEdit(QStringLiteral("1-247"), box), tr("Addresses"));
    form->addRow(tr("Addresses"), m_addresses);
    m_scanTimeout = named(new QSpinBox(box), tr("Scan time-out in milliseconds"));
    m_scanTimeout->setRange(10, 10000);
    m_scanTimeout->setValue(50); // a meter's turnaround, as quorvane-cli scan waits
    m_scanTimeout->setSuffix(tr(" ms"));
    form->addRow(tr("Time-out"), m_scanTimeout);
    auto *buttons = new QHBoxLayout;
    m_scanButton = button(tr("Scan"), box);
    m_cancelButton = button(tr("Cancel"), box);
    m_cancelButton->setEnabled(false);
    buttons->addWidget(m_scanButton);
    buttons->addWidget(m_cancelButton);
    form->addRow(buttons);
    m_progress = named(new QProgressBar(box), tr("Progress"));
    m_progressText = named(new QLabel(box), tr("Progress text"));
    m_progressText->setWordWrap(true);
    form->addRow(m_progress);
    form->addRow(m_progressText);
    connect(m_scanButton, &QPushButton::clicked, this, &BusWindow::startScan);
    connect(m_cancelButton, &QPushButton::clicked, this, &BusWindow::cancelWork);
    return box;
}

QWidget *BusWindow::buildFound()
{
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    m_foundSorted->setSourceModel(&m_found);
    m_foundSorted->setSortRole(Qt::UserRole);
    m_foundView = named(new QTableView(page), tr("Found meters"));
    m_foundView->setModel(m_foundSorted);
    m_foundView->setItemDelegate(new ChangeDelegate(m_foundView));
    m_foundView->setSortingEnabled(true);
    m_foundView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_foundView->horizontalHeader()->setStretchLastSection(true);
    m_foundView->verticalHeader()->hide();
    m_foundView->setTextElideMode(Qt::ElideLeft);
    m_foundView->setWordWrap(false);
    layout->addWidget(m_foundView);
    auto *buttons = new QHBoxLayout;
    m_applyButton = button(tr("Apply changes"), page);
    auto *open = button(tr("Open plan..."), page);
    auto *save = button(tr("Save plan..."), page);
    auto *exportButton = button(tr("Export..."), page);
    for (QWidget *w : std::initializer_list<QWidget *>{m_applyButton, open, save, exportButton})
        buttons->addWidget(w);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(m_applyButton, &QPushButton::clicked, this, &BusWindow::applyChanges);
    connect(open, &QPushButton::clicked, this, [this] {
        chooseFile(tr("Open plan"), false, tr("Plans (*.csv)"), [this](const QString &path) { openPlan(path); });
    });
    connect(save, &QPushButton::clicked, this, [this] {
        chooseFile(tr("Save plan"), true, tr("Plans (*.csv)"), [this](const QString &path) { savePlan(path); });
    });
    connect(exportButton, &QPushButton::clicked, this, [this] {
        chooseFile(tr("Export"), true, tr("CSV (*.csv);;JSON (*.json)"), [this](const QString &path) { exportTable(path); });
    });
    return page;
}

QWidget *BusWindow::buildWatch()
{
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    auto *controls = new QHBoxLayout;
    m_interval = named(new QSpinBox(page), tr("Watch interval in seconds"));
    m_interval->setRange(0, 3600);
    m_interval->setValue(5);
    m_interval->setSuffix(tr(" s"));
    m_watchButton = button(tr("Watch"), page);
    auto *log = button(tr("Log to CSV..."), page);
    auto *logName = named(new QLabel(page), tr("Watch log"));
    controls->addWidget(new QLabel(tr("Every"), page));
    controls->addWidget(m_interval);
    controls->addWidget(m_watchButton);
    controls->addWidget(log);
    controls->addWidget(logName, 1);
    layout->addLayout(controls);
    auto *split = new QSplitter(Qt::Horizontal, page);
    m_watchView = named(new QTableView(split), tr("Watched meters"));
    m_watchView->setModel(&m_watch);
    m_watchView->verticalHeader()->hide();
    m_watchView->setTextElideMode(Qt::ElideLeft);
    m_watchView->setWordWrap(false);
    m_chart = new WatchChart(split);
    split->addWidget(m_watchView);
    split->addWidget(m_chart);
    split->setSizes({600, 600});
    layout->addWidget(split);
    connect(m_watchButton, &QPushButton::clicked, this, [this] {
        if (m_job && m_watchButton->text() == tr("Stop"))
            stopWatch();
        else
            startWatch();
    });
    connect(log, &QPushButton::clicked, this, [this, logName] {
        chooseFile(tr("Watch log"), true, tr("CSV (*.csv)"), [this, logName](const QString &path) {
            setWatchLog(path);
            logName->setText(path);
        });
    });
    return page;
}

QWidget *BusWindow::buildTrace()
{
    auto *box = named(new QGroupBox(tr("Trace"), this), tr("Trace"));
    auto *layout = new QVBoxLayout(box);
    m_traceLine = named(new QComboBox(box), tr("Trace line"));
    m_trace = named(new QPlainTextEdit(box), tr("Trace"));
    m_trace->setReadOnly(true);
    m_trace->setMaximumBlockCount(TraceLinesKept);
    m_trace->setFont(QFont(QStringLiteral("monospace")));
    layout->addWidget(m_traceLine);
    layout->addWidget(m_trace);
    connect(m_traceLine, &QComboBox::currentTextChanged, m_trace, &QPlainTextEdit::clear);
    return box;
}

void BusWindow::say(const QString &text)
{
    m_status->setText(text);
}

void BusWindow::lineState(const std::string &port, const QString &state)
{
    for (int row = 0; row < m_linesModel->rowCount(); ++row)
        if (m_linesModel->item(row, 0)->text().toStdString() == port)
            m_linesModel->item(row, 3)->setText(state);
}

jobs::LineSetup BusWindow::lineOf(const std::string &port) const
{
    for (const auto &line : m_lines)
        if (line.port == port)
            return line;
    jobs::LineSetup line;
    line.port = port;
    return line;
}

void BusWindow::setBusy(jobs::Job *job, const QString &what)
{
    m_job = job;
    m_scanButton->setEnabled(false);
    m_applyButton->setEnabled(false);
    m_cancelButton->setEnabled(true);
    m_watchButton->setEnabled(what == tr("watching"));
    for (const auto &line : m_lines)
        lineState(line.port, what);
    // A line's own failure is said in the window, never in a box, and the others go on.
    connect(job, &jobs::Job::exchanged, this, &BusWindow::trace);
    connect(job, &jobs::Job::finished, this, &BusWindow::finished);
    job->start();
}

void BusWindow::finished()
{
    const bool cancelled = m_job->cancelled();
    m_job->deleteLater();
    m_job = nullptr;
    m_watchLog.close();
    m_scanButton->setEnabled(true);
    m_applyButton->setEnabled(true);
    m_cancelButton->setEnabled(false);
    m_watchButton->setEnabled(true);
    m_watchButton->setText(tr("Watch"));
    m_watchButton->setAccessibleName(tr("Watch"));
    for (int row = 0; row < m_linesModel->rowCount(); ++row)
        if (!m_linesModel->item(row, 3)->text().startsWith(tr("failed")))
            m_linesModel->item(row, 3)->setText(tr("ready"));
    if (cancelled)
        say(tr("Cancelled."));
    emit workFinished();
    if (m_closeWhenDone)
        close();
}

void BusWindow::cancelWork()
{
    if (m_job)
        m_job->cancel();
}

void BusWindow::startScan()
{
    if (busy())
        return;
    if (m_lines.empty()) {
        say(tr("Add a line first."));
        return;
    }
    const auto addresses = commissioning::ParseAddressList(m_addresses->text().trimmed().toStdString());
    if (!addresses || addresses->empty()) {
        say(tr("Addresses: a list such as 1-247 or 1,5,10-20, each 1..247."));
        return;
    }
    commissioning::SweepLists lists;
    for (const auto &item : m_bauds->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int baud = item.trimmed().toInt(&ok);
        const auto known = catalogue::MeterBauds();
        if (!ok || std::none_of(known.begin(), known.end(), [baud](const auto &b) { return b.baud == baud; })) {
            say(tr("Baud rates: %1 is not a rate the meters take.").arg(item.trimmed()));
            return;
        }
        lists.bauds.push_back(baud);
    }
    const engine::Parity parityOf[] = {engine::Parity::None, engine::Parity::Even, engine::Parity::Odd};
    for (int i = 0; i < 3; ++i)
        if (m_parities[i]->isChecked())
            lists.parities.push_back(parityOf[i]);
    if (m_stopBits[0]->isChecked())
        lists.stopBits.push_back(engine::StopBits::One);
    if (m_stopBits[1]->isChecked())
        lists.stopBits.push_back(engine::StopBits::Two);
    // Every box ticked: the meters' own pairs, as the command line sweeps them.
    if (lists.parities.size() == 3 && lists.stopBits.size() == 2)
        lists.parities.clear(), lists.stopBits.clear();
    jobs::ScanSetup setup;
    setup.sweep = commissioning::SweepSettings(lists);
    if (setup.sweep.empty()) {
        say(tr("No parity and stop-bit pair of the meters fits the boxes ticked."));
        return;
    }
    setup.addresses = *addresses;
    for (auto line : m_lines) {
        line.timeoutMs = m_scanTimeout->value();
        line.settleMs = 0; // each reply names its address
        setup.lines.push_back(line);
    }
    m_found.clear();
    m_progress->setRange(0, int(setup.sweep.size() * setup.addresses.size() * setup.lines.size()));
    m_progress->setValue(0);
    auto *job = new jobs::ScanJob(setup, this);
    connect(job, &jobs::ScanJob::found, this, [this](const jobs::FoundDevice &device) { m_found.add(device); });
    // Shown ten times a second at most: a probe every few milliseconds is more than anyone reads.
    auto latest = std::make_shared<jobs::ScanProgress>();
    auto *refresh = new QTimer(job);
    refresh->setInterval(100);
    const auto show = [this, latest] {
        const auto &p = *latest;
        m_progress->setRange(0, int(p.total));
        m_progress->setValue(int(p.done));
        m_progressText->setText(tr("%1, %2 of %3 probes, %4 found, about %5 s left")
                                    .arg(QString::fromStdString(p.where)).arg(p.done).arg(p.total).arg(p.found)
                                    .arg(p.secondsLeft, 0, 'f', 0));
    };
    connect(refresh, &QTimer::timeout, this, show);
    connect(job, &jobs::ScanJob::progress, this, [latest, refresh, show](const jobs::ScanProgress &p) {
        const bool first = latest->total == 0;
        *latest = p;
        if (first)
            show();
        if (!refresh->isActive())
            refresh->start();
    });
    connect(job, &jobs::Job::finished, this, show);
    connect(job, &jobs::ScanJob::note, this,
            [this](const std::string &port, const std::string &text) { say(QString::fromStdString(port + ": " + text)); });
    connect(job, &jobs::ScanJob::problem, this, [this](const std::string &text) {
        say(QString::fromStdString(text));
        for (const auto &line : m_lines)
            if (text.find(line.port) != std::string::npos)
                lineState(line.port, tr("failed: ") + QString::fromStdString(text));
    });
    connect(job, &jobs::Job::finished, this, [this, job] {
        m_foundView->resizeColumnsToContents();
        if (!job->cancelled())
            say(tr("Scan done: %1 found.").arg(m_found.rowCount()));
    });
    say(tr("Scanning..."));
    setBusy(job, tr("scanning"));
}

void BusWindow::applyChanges()
{
    if (busy())
        return;
    jobs::ChangeJobSetup setup;
    setup.history = m_history.get();
    std::map<std::string, std::size_t> lineIndex;
    for (int row = 0; row < m_found.rowCount(); ++row) {
        const auto change = m_found.changeOf(row);
        if (!change)
            continue;
        const auto &device = m_found.rows()[std::size_t(row)].device;
        auto [it, added] = lineIndex.try_emplace(device.port, setup.lines.size());
        if (added) {
            setup.lines.push_back(lineOf(device.port));
            setup.rows.emplace_back();
        }
        jobs::ChangeRow changeRow{std::size_t(row), *change, {}};
        if (!device.throughGateway)
            changeRow.settings = device.settings;
        setup.rows[it->second].push_back(changeRow);
        m_found.setStatus(row, tr("waiting"));
    }
    if (setup.lines.empty()) {
        say(tr("No row has a new address, baud rate or parity."));
        return;
    }
    auto *job = new jobs::ChangeJob(setup, this);
    connect(job, &jobs::ChangeJob::rowStarted, this,
            [this](const std::string &, std::size_t row, const jobs::Change &) { m_found.setStatus(int(row), tr("sending...")); });
    connect(job, &jobs::ChangeJob::step, this, [this](const std::string &, std::size_t row, const jobs::StepResult &r) {
        const QString before = m_found.rows()[row].status;
        m_found.setStatus(int(row), (before == tr("sending...") ? QString() : before + QStringLiteral("; ")) + stepText(r));
    });
    connect(job, &jobs::ChangeJob::rowDone, this,
            [this](const std::string &, std::size_t row, const jobs::RowResult &result) { m_found.changed(int(row), result); });
    connect(job, &jobs::ChangeJob::note, this,
            [this](const std::string &port, const std::string &text) { say(QString::fromStdString(port + ": " + text)); });
    connect(job, &jobs::ChangeJob::problem, this, [this](const std::string &text) { say(QString::fromStdString(text)); });
    connect(job, &jobs::Job::finished, this, [this, job] {
        m_foundView->resizeColumnsToContents();
        int verified = 0, other = 0;
        for (const auto &row : m_found.rows())
            if (row.verdict)
                ++(*row.verdict == jobs::Verdict::Verified ? verified : other);
        if (!job->cancelled())
            say(tr("Changes done: %1 verified, %2 not.").arg(verified).arg(other));
    });
    say(tr("Applying changes..."));
    setBusy(job, tr("changing"));
}

void BusWindow::startWatch()
{
    if (busy())
        return;
    // The selected rows, or every meter that answered.
    std::vector<int> chosen;
    for (const auto &index : m_foundView->selectionModel()->selectedRows())
        chosen.push_back(m_foundSorted->mapToSource(index).row());
    if (chosen.empty())
        for (int row = 0; row < m_found.rowCount(); ++row)
            chosen.push_back(row);
    std::sort(chosen.begin(), chosen.end());
    jobs::PollSetup setup;
    setup.interval = std::chrono::seconds(m_interval->value());
    std::vector<WatchRow> rows;
    std::map<std::string, std::size_t> lineIndex;
    m_watchRows.clear();
    for (const int row : chosen) {
        const auto &found = m_found.rows()[std::size_t(row)];
        if (found.device.garbled || found.type.isEmpty())
            continue;
        auto [it, added] = lineIndex.try_emplace(found.device.port, setup.lines.size());
        if (added) {
            setup.lines.push_back(lineOf(found.device.port));
            setup.meters.emplace_back();
            m_watchRows.emplace_back();
        }
        jobs::PolledMeter meter{found.type.toStdString(), found.device.address, {}};
        if (!found.device.throughGateway)
            meter.settings = found.device.settings;
        setup.meters[it->second].push_back(meter);
        m_watchRows[it->second].push_back(int(rows.size()));
        rows.push_back({found.device.port, meter, {}, {}, {}, false});
    }
    if (rows.empty()) {
        say(tr("Nothing to watch: scan first, or open a plan."));
        return;
    }
    m_watch.setMeters(std::move(rows));
    m_watchView->resizeColumnsToContents();
    m_chart->clear();
    if (!m_watchLogPath.isEmpty()) {
        m_watchLog.setFileName(m_watchLogPath);
        if (!m_watchLog.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            say(tr("Cannot write %1: %2").arg(m_watchLogPath, m_watchLog.errorString()));
            return;
        }
        std::vector<std::string> lines;
        for (const auto &line : setup.lines)
            lines.push_back(line.port + (line.port.find("://") != std::string::npos ? "" : " " + engine::ShortText(line.settings)));
        const auto header = commissioning::ReadingLogHeader(QDateTime::currentDateTime().toOffsetFromUtc(
                                                                QDateTime::currentDateTime().offsetFromUtc()).toString(Qt::ISODate).toStdString(),
                                                            lines);
        m_watchLog.write(header.data(), qint64(header.size()));
        m_watchLog.flush();
    }
    auto *job = new jobs::PollJob(setup, this);
    std::map<std::string, std::size_t> lines = lineIndex;
    connect(job, &jobs::PollJob::reading, this,
            [this, lines](const std::string &port, std::size_t index, const jobs::Outcome &outcome, const QDateTime &at) {
                const int row = m_watchRows[lines.at(port)][index];
                if (outcome.kind == jobs::Outcome::Kind::PortFailed) {
                    m_watch.lineFailed(port);
                    lineState(port, tr("failed: ") + QString::fromStdString(outcome.detail));
                    say(QString::fromStdString(outcome.detail));
                    return;
                }
                const auto word = m_watch.record(row, outcome, at);
                const auto &watched = m_watch.rows()[std::size_t(row)];
                if (word == "answered" && outcome.energyKwh)
                    m_chart->add(row, QStringLiteral("%1 @%2").arg(QString::fromStdString(watched.meter.meter)).arg(watched.meter.address),
                                 at, *outcome.energyKwh);
                if (m_watchLog.isOpen()) {
                    const auto &x = outcome.exchange;
                    std::optional<double> ms;
                    if (x.end != serial::ExchangeResult::End::Timeout)
                        ms = std::chrono::duration<double, std::milli>(x.ended - x.written).count();
                    const auto text = commissioning::ReadingLogRow(
                        {at.toString(Qt::ISODateWithMs).toStdString(), port, watched.meter.address, watched.meter.meter, word,
                         outcome.kind == jobs::Outcome::Kind::Success ? std::string() : outcome.detail,
                         word == "answered" ? outcome.energyKwh : std::nullopt, ms});
                    // Each row reaches the file at once: a killed program loses no reading.
                    m_watchLog.write(text.data(), qint64(text.size()));
                    m_watchLog.flush();
                }
            });
    connect(job, &jobs::PollJob::note, this,
            [this](const std::string &port, const std::string &text) { say(QString::fromStdString(port + ": " + text)); });
    connect(job, &jobs::PollJob::problem, this, [this](const std::string &text) {
        say(QString::fromStdString(text));
        for (const auto &line : m_lines)
            if (text.find(line.port) != std::string::npos) {
                lineState(line.port, tr("failed: ") + QString::fromStdString(text));
                m_watch.lineFailed(line.port);
            }
    });
    say(tr("Watching %1 meters.").arg(m_watch.rowCount()));
    m_watchButton->setText(tr("Stop"));
    m_watchButton->setAccessibleName(tr("Stop watching"));
    setBusy(job, tr("watching"));
}

void BusWindow::stopWatch()
{
    cancelWork();
}

bool BusWindow::openPlan(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(tr("Cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    const QByteArray text = file.readAll();
    const auto parse = commissioning::ParsePlan(std::string_view(text.constData(), std::size_t(text.size())));
    if (!parse.plan) {
        say(tr("%1 line %2: %3").arg(path).arg(parse.error.line).arg(QString::fromStdString(parse.error.what)));
        return false;
    }
    const auto port = m_lines.empty() ? QString() : QString::fromStdString(m_lines.front().port);
    const auto settings = m_lines.empty() ? engine::LineSettings{} : m_lines.front().settings;
    const QString problems = m_found.loadPlan(*parse.plan, port, settings);
    say(problems.isEmpty() ? tr("Plan %1 opened: %2 rows.").arg(path).arg(parse.plan->rows.size()) : problems);
    return problems.isEmpty();
}

bool BusWindow::savePlan(const QString &path)
{
    QFile file(path);
    const auto text = m_found.planText();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        say(tr("Cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    say(tr("Saved %1.").arg(path));
    return true;
}

bool BusWindow::exportTable(const QString &path)
{
    if (!path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return savePlan(path);
    QFile file(path);
    const auto text = m_found.json();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        say(tr("Cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    say(tr("Exported %1.").arg(path));
    return true;
}

void BusWindow::trace(const std::string &port, std::span<const std::uint8_t> request, const serial::ExchangeResult &result)
{
    auto &state = m_tracers[port];
    if (!state)
        state = std::make_unique<TraceState>();
    state->tracer.exchange(request, result);
    auto out = QString::fromStdString(state->text.str());
    state->text.str({});
    if (m_traceLine->currentText().toStdString() != port)
        return;
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    m_trace->appendPlainText(out);
}

void BusWindow::chooseFile(const QString &caption, bool save, const QString &filter, std::function<void(const QString &)> then)
{
    // Not a modal loop: the dialog tells when a file was chosen.
    auto *dialog = new QFileDialog(this, caption, QString(), filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::fileSelected, this, std::move(then));
    dialog->open();
}

void BusWindow::closeEvent(QCloseEvent *event)
{
    // Work still running is cancelled; the window closes once its lines are closed.
    if (m_job) {
        m_closeWhenDone = true;
        m_job->cancel();
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace bus
