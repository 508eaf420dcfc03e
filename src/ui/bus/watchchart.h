#pragma once

#include <QChartView>
#include <QDateTime>

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
    QDateTimeAxis *m_time;
    QValueAxis *m_energy;
    std::map<int, QLineSeries *> m_series;
    QDateTime m_first;
    double m_low = 0;
    double m_high = 0;
};

} // namespace bus
