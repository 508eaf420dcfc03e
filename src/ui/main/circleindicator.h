#pragma once

#include <QColor>
#include <QWidget>

// A filled circle that shows a state by its colour (port and result lamps).
class CircleIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit CircleIndicator(QWidget *parent = nullptr);

    void setFillColor(const QColor &color);
    QColor fillColor() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill = Qt::yellow;
};
