#pragma once

#include <QChartView>
#include <QDateTime>
#include <QTimer>

#include <map>

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace bus {

// Energy over time, one series a watched meter, time on the axis.
class WatchChart : public QChartView
{
    Q_OBJECT
public:
    explicit WatchChart(QWidget *parent = nullptr);

    void clear();
    // A reading of the meter `key` (its row), named `name` in the legend.
    void add(int key, const QString &name, const QDateTime &at, double kwh);
    int seriesCount() const { return static_cast<int>(m_series.size()); }

private:
    // Drawn four times a second at most: a chart laid out anew for every
    // reading of a fast watch would cost more than the reading.
    void draw();
    QLineSeries *seriesOf(int key, const QString &name);

    QDateTimeAxis *m_time;
    QValueAxis *m_energy;
    std::map<int, QLineSeries *> m_series;
    std::map<int, std::pair<QString, QList<QPointF>>> m_pending;
    QTimer m_drawing;
    QDateTime m_first;
    QDateTime m_last;
    double m_low = 0;
    double m_high = 0;
};

} // namespace bus
