#pragma once

#include "procedures/linereport.h"

#include <QList>
#include <QWidget>

// The time of each exchange of a line test as a bar on a logarithmic scale, coloured by its
// outcome (at the first attempt, after a repeat, failed), with the wire time as a line.
class LineTestChart : public QWidget
{
    Q_OBJECT

public:
    explicit LineTestChart(QWidget* parent = nullptr);

    void start(int planned);
    void add(const LineReport::Exchange& exchange, double wireMs);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_planned = 1;
    double m_wireMs = 0;
    QList<LineReport::Exchange> m_exchanges;
};
