#pragma once

#include "common/StripChart.h"

#include <QTimer>
#include <QWidget>
#include <deque>
#include <vector>

class QCPAxis;
class QCPGraph;
class QCPItemStraightLine;
class QCPRange;
class QCustomPlot;

// A scrolling strip chart on QCustomPlot: each trace has its own value axis (its range), all
// share the sample axis; the view follows the newest sample. Traces with the same unit share
// one visible scale: the first unit on the left, the others on the right.
class StripChartWidget : public QWidget, public StripChart
{
    Q_OBJECT
public:
    // `units` labels each trace's scale ("gal", "Pd [cm]"); empty: one scale, the first trace's.
    StripChartWidget(const QString &title, const QStringList &traceNames,
                     const QStringList &units = {}, QWidget *parent = nullptr);

    void selectTrace(int trace) override;
    void setRange(double upper, double lower) override;
    void setVisibleWidth(double samples) override;
    void addSample(int trace, double value) override;
    void addBlock(int trace, const Block &values) override;
    void clear() override;
    void setSampleExtent(int samples) override;
    void setViewPosition(int sample) override;
    void markCurrentSample() override;
    void breakTraces() override;
    void skipSamples(int count) override;
    void fitRangeToData() override;
    void startTracesAt(int sample) override;

    // The operator drags and zooms along the sample axis (the history chart).
    void setBrowsable(bool browsable);
    // Everything the chart holds, from its first sample to its last.
    void showWhole();
    // PNG, or PDF when the name ends in ".pdf", with `caption` under the chart; false when the
    // file cannot be written.
    bool exportTo(const QString &path, const QString &caption = QString());

    QCustomPlot *plot() const { return plot_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Trace {
        QCPGraph *graph = nullptr;
        QCPAxis *axis = nullptr;
        double nextKey = 0;
        int scale = 0;       // the trace whose axis shows this trace's unit
        bool fitted = false; // the range follows the samples on view
    };
    bool valid(int trace) const { return trace >= 0 && trace < int(traces_.size()); }
    void describeRanges();
    // Fitted traces that share a scale get one range: the largest magnitude any of them shows.
    void fitRanges();
    QCPAxis *scaleFor(int trace, const QStringList &units);
    void append(Trace &trace, double value);
    double newestKey() const;
    void followNewest();
    void keepWithinData(const QCPRange &range);
    void dropMarksBefore(double key);
    void scheduleReplot();
    void replotIfDue();
    int frameIntervalMs() const;

    QCustomPlot *plot_;
    std::vector<Trace> traces_;
    std::deque<QCPItemStraightLine *> marks_; // oldest first
    QTimer frameTimer_;
    int selected_ = 0;
    double visibleWidth_ = 1000;
    int extent_ = 24000;
    bool following_ = true;
    bool bounded_ = true;
    bool dirty_ = false;
};
