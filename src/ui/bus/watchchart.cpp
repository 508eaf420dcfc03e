#include "watchchart.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>

namespace bus {

namespace {
// An hour at a reading a second per meter; past it the oldest points go first,
// so a watch of days holds its memory and stays quick to draw.
constexpr int MaxPoints = 4000;
// Markers only while a series is short: thousands of them cost more to draw than the line.
constexpr int MarkedPoints = 60;
} // namespace

WatchChart::WatchChart(QWidget *parent)
    : QChartView(new QChart, parent)
    , m_time(new QDateTimeAxis)
    , m_energy(new QValueAxis)
{
    chart()->setTitle(tr("Energy over time"));
    m_time->setFormat(QStringLiteral("HH:mm:ss"));
    m_time->setTitleText(tr("Time"));
    m_energy->setTitleText(tr("Energy (kWh)"));
    m_energy->setLabelFormat(QStringLiteral("%.3f"));
    chart()->addAxis(m_time, Qt::AlignBottom);
    chart()->addAxis(m_energy, Qt::AlignLeft);
    setRenderHint(QPainter::Antialiasing);
    setAccessibleName(tr("Energy chart"));
    setMinimumHeight(200);
    m_drawing.setSingleShot(true);
    m_drawing.setInterval(250);
    connect(&m_drawing, &QTimer::timeout, this, &WatchChart::draw);
}

void WatchChart::clear()
{
    chart()->removeAllSeries();
    m_series.clear();
    m_pending.clear();
    m_first = {};
}

void WatchChart::add(int key, const QString &name, const QDateTime &at, double kwh)
{
    auto &[pendingName, points] = m_pending[key];
    pendingName = name;
    points.append(QPointF(double(at.toMSecsSinceEpoch()), kwh));
    if (!m_first.isValid()) {
        m_first = m_last = at;
        m_low = m_high = kwh;
        draw();
        return;
    }
    m_last = std::max(m_last, at);
    m_low = std::min(m_low, kwh);
    m_high = std::max(m_high, kwh);
    if (!m_drawing.isActive())
        m_drawing.start();
}

QLineSeries *WatchChart::seriesOf(int key, const QString &name)
{
    auto it = m_series.find(key);
    if (it != m_series.end())
        return it->second;
    auto *series = new QLineSeries;
    series->setName(name);
    series->setPointsVisible(true);
    chart()->addSeries(series);
    series->attachAxis(m_time);
    series->attachAxis(m_energy);
    return m_series.emplace(key, series).first->second;
}

void WatchChart::draw()
{
    for (auto &[key, pending] : m_pending) {
        QLineSeries *series = seriesOf(key, pending.first);
        const auto room = MaxPoints - pending.second.size();
        if (series->count() > room)
            series->removePoints(0, series->count() - std::max<qsizetype>(room, 0));
        series->append(pending.second);
        if (series->count() >= MarkedPoints)
            series->setPointsVisible(false);
    }
    m_pending.clear();
    // The axes move only when the points have outgrown them, and then by a margin.
    const double margin = std::max(0.01, (m_high - m_low) * 0.05);
    if (m_low < m_energy->min() || m_high > m_energy->max() || m_energy->min() < m_low - 4 * margin)
        m_energy->setRange(m_low - margin, m_high + margin);
    if (m_last > m_time->max() || m_time->min() != m_first) {
        const qint64 span = std::max<qint64>(10, m_first.secsTo(m_last));
        m_time->setRange(m_first, m_first.addSecs(span + span / 4));
    }
}

} // namespace bus
