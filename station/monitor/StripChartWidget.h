#pragma once

#include "common/StripChart.h"

#include <QWidget>
#include <deque>
#include <vector>

class QCPAxis;
class QCPGraph;
class QCPItemStraightLine;
class QCustomPlot;

// A scrolling strip chart on QCustomPlot: each trace has its own value axis (its range), all
// share the sample axis; the view follows the newest sample.
class StripChartWidget : public QWidget, public StripChart
{
    Q_OBJECT
public:
    StripChartWidget(const QString &title, const QStringList &traceNames,
                     QWidget *parent = nullptr);

    void selectTrace(int trace) override;
    void setRange(double upper, double lower) override;
    void setVisibleWidth(double samples) override;
    void addSample(int trace, double value) override;
    void addBlock(int trace, const Block &values) override;
    void clear() override;
    void setSampleExtent(int samples) override;
    void setViewPosition(int sample) override;
    void markCurrentSample() override;

private:
    struct Trace {
        QCPGraph *graph = nullptr;
        QCPAxis *axis = nullptr;
        double nextKey = 0;
    };
    bool valid(int trace) const { return trace >= 0 && trace < int(traces_.size()); }
    void append(Trace &trace, double value);
    void scheduleReplot();
    void followNewest();
    void dropMarksBefore(double key);

    QCustomPlot *plot_;
    std::vector<Trace> traces_;
    std::deque<QCPItemStraightLine *> marks_; // oldest first
    int selected_ = 0;
    double visibleWidth_ = 1000;
    int extent_ = 24000;
    bool following_ = true;
    bool bounded_ = true;
    bool replotPending_ = false;
};
