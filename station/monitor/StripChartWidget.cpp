#include "StripChartWidget.h"

#include <QTimer>
#include <QVBoxLayout>
#include <limits>
#include <qcustomplot.h>

namespace
{

const QList<QColor> TraceColours = {Qt::red, Qt::darkGreen, Qt::blue, Qt::magenta, Qt::darkCyan};

} // namespace

StripChartWidget::StripChartWidget(const QString &title, const QStringList &traceNames,
                                   QWidget *parent)
    : QWidget(parent), plot_(new QCustomPlot(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(0, 0, new QCPTextElement(plot_, title));
    plot_->legend->setVisible(true);
    QCPAxisRect *rect = plot_->axisRect();
    for (int i = 0; i < traceNames.size(); ++i) {
        QCPAxis *axis = i == 0 ? rect->axis(QCPAxis::atLeft) : rect->addAxis(QCPAxis::atLeft);
        axis->setVisible(i == 0);
        axis->setRange(-1, 1);
        QCPGraph *graph = plot_->addGraph(rect->axis(QCPAxis::atBottom), axis);
        graph->setName(traceNames[i]);
        graph->setPen(QPen(TraceColours[i % TraceColours.size()]));
        traces_.push_back({graph, axis, 0});
    }
    plot_->xAxis->setRange(0, visibleWidth_);
}

void StripChartWidget::selectTrace(int trace)
{
    if (valid(trace))
        selected_ = trace;
}

void StripChartWidget::setRange(double upper, double lower)
{
    traces_[selected_].axis->setRange(lower, upper);
    scheduleReplot();
}

void StripChartWidget::setVisibleWidth(double samples)
{
    visibleWidth_ = qMax(1.0, samples);
    followNewest();
}

void StripChartWidget::append(Trace &trace, double value)
{
    trace.graph->addData(trace.nextKey, value);
    trace.nextKey += 1;
    // Keep a bounded history: a running station adds 100 samples per second for days.
    if (!bounded_)
        return;
    const double oldest = trace.nextKey - qMax<double>(extent_, visibleWidth_);
    if (oldest > 0 && trace.graph->data()->size() > 2 * qMax<double>(extent_, visibleWidth_))
        trace.graph->data()->removeBefore(oldest);
}

void StripChartWidget::addSample(int trace, double value)
{
    if (!valid(trace))
        return;
    append(traces_[trace], value);
    followNewest();
}

void StripChartWidget::addBlock(int trace, const Block &values)
{
    if (!valid(trace))
        return;
    for (double v : values)
        append(traces_[trace], v);
    followNewest();
}

void StripChartWidget::clear()
{
    for (Trace &t : traces_) {
        t.graph->data()->clear();
        t.nextKey = 0;
    }
    dropMarksBefore(std::numeric_limits<double>::infinity());
    // A file is loaded whole and its extent set afterwards; until then nothing is dropped.
    bounded_ = false;
    following_ = true;
    followNewest();
}

void StripChartWidget::setSampleExtent(int samples)
{
    extent_ = qMax(1, samples);
    bounded_ = true;
}

void StripChartWidget::setViewPosition(int sample)
{
    following_ = false;
    plot_->xAxis->setRange(sample, sample + visibleWidth_);
    scheduleReplot();
}

void StripChartWidget::markCurrentSample()
{
    if (traces_.empty())
        return;
    const auto &data = *traces_[0].graph->data();
    // Marks of samples the chart no longer holds go with them.
    dropMarksBefore(data.isEmpty() ? 0 : data.constBegin()->key);
    auto *line = new QCPItemStraightLine(plot_);
    const double key = traces_[0].nextKey;
    line->point1->setCoords(key, 0);
    line->point2->setCoords(key, 1);
    line->setPen(QPen(Qt::black, 1, Qt::DashLine));
    marks_.push_back(line);
    scheduleReplot();
}

void StripChartWidget::dropMarksBefore(double key)
{
    while (!marks_.empty() && marks_.front()->point1->coords().x() < key) {
        plot_->removeItem(marks_.front());
        marks_.pop_front();
    }
}

void StripChartWidget::followNewest()
{
    if (following_) {
        const double newest = traces_.empty() ? 0 : traces_[0].nextKey;
        plot_->xAxis->setRange(qMax(0.0, newest - visibleWidth_), qMax(visibleWidth_, newest));
    }
    scheduleReplot();
}

// Samples arrive 100 per second per trace; drawing once per event-loop turn is enough.
void StripChartWidget::scheduleReplot()
{
    if (replotPending_)
        return;
    replotPending_ = true;
    QTimer::singleShot(50, this, [this] {
        replotPending_ = false;
        plot_->replot(QCustomPlot::rpQueuedReplot);
    });
}
