#include "watchchart.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>

namespace bus {

namespace {
// A watch of hours at a reading a second stays drawable: the oldest points go first.
constexpr int MaxPoints = 20000;
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
}

void WatchChart::clear()
{
    chart()->removeAllSeries();
    m_series.clear();
    m_first = {};
}

void WatchChart::add(int key, const QString &name, const QDateTime &at, double kwh)
{
    auto it = m_series.find(key);
    if (it == m_series.end()) {
        auto *series = new QLineSeries;
        series->setName(name);
        series->setPointsVisible(true);
        chart()->addSeries(series);
        series->attachAxis(m_time);
        series->attachAxis(m_energy);
        it = m_series.emplace(key, series).first;
    }
    QLineSeries *series = it->second;
    if (series->count() >= MaxPoints)
        series->removePoints(0, series->count() - MaxPoints + 1);
    series->append(double(at.toMSecsSinceEpoch()), kwh);
    const bool first = !m_first.isValid();
    if (first) {
        m_first = at;
        m_low = m_high = kwh;
    }
    // The axes move only when a point falls outside them, and then by a margin:
    // a chart laid out anew for every reading would cost more than the reading.
    if (first || kwh < m_low || kwh > m_high) {
        m_low = std::min(m_low, kwh);
        m_high = std::max(m_high, kwh);
        const double margin = std::max(0.01, (m_high - m_low) * 0.05);
        m_energy->setRange(m_low - margin, m_high + margin);
    }
    if (first || at > m_time->max()) {
        const qint64 span = std::max<qint64>(10, m_first.secsTo(at));
        m_time->setRange(m_first, m_first.addSecs(span + span / 4));
    }
}

} // namespace bus
