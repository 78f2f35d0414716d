#include "StripChartWidget.h"

#include "common/NumberText.h"

#include <QFileInfo>
#include <QVBoxLayout>
#include <cmath>
#include <functional>
#include <limits>
#include <qcustomplot.h>

namespace
{

const QList<QColor> TraceColours = {Qt::red, Qt::darkGreen, Qt::blue, Qt::magenta, Qt::darkCyan};

// The view moves by at most this many pixels per frame at 100 samples per second, and is
// drawn no more often than the fastest and no less often than the slowest frame rate.
constexpr double PixelsPerFrame = 3;
constexpr int FastestFrameMs = 40;
constexpr int SlowestFrameMs = 330;
constexpr double SamplesPerSecond = 100;
// An outage shows as a gap of this share of the visible width.
constexpr double GapShare = 0.02;

// Sample keys read as seconds: a live chart counts back from its newest sample (0 at the
// right edge), a browsed record from its first, whatever the visible span.
class SecondsTicker : public QCPAxisTicker
{
public:
    explicit SecondsTicker(std::function<double()> origin) : origin_(std::move(origin)) {}

protected:
    double getTickStep(const QCPRange &range) override
    {
        const QCPRange seconds(range.lower / SamplesPerSecond, range.upper / SamplesPerSecond);
        return QCPAxisTicker::getTickStep(seconds) * SamplesPerSecond;
    }
    // Ticks stand on whole steps from the origin, so the labels keep still while data scrolls.
    QVector<double> createTickVector(double step, const QCPRange &range) override
    {
        const double origin = origin_();
        QVector<double> ticks;
        for (double t = origin + std::ceil((range.lower - origin) / step) * step;
             t <= range.upper + step * 1e-6; t += step)
            ticks.push_back(t);
        return ticks;
    }
    QString getTickLabel(double tick, const QLocale &locale, QChar format, int precision) override
    {
        const double seconds = (tick - origin_()) / SamplesPerSecond;
        return QCPAxisTicker::getTickLabel(std::abs(seconds) < 1e-9 ? 0 : seconds, locale, format,
                                           precision);
    }

private:
    std::function<double()> origin_;
};

} // namespace

StripChartWidget::StripChartWidget(const QString &title, const QStringList &traceNames,
                                   const QStringList &units, QWidget *parent)
    : QWidget(parent), plot_(new QCustomPlot(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(0, 0, new QCPTextElement(plot_, title));
    plot_->legend->setVisible(true);
    // Thousands of points per trace: antialiasing them costs far more than it shows.
    plot_->setNotAntialiasedElements(QCP::aePlottables);
    // One paint buffer instead of a second, empty one for the overlay blended in every frame.
    plot_->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    for (int i = 0; i < traceNames.size(); ++i) {
        QCPAxis *axis = scaleFor(i, units);
        axis->setRange(-1, 1);
        QCPGraph *graph = plot_->addGraph(plot_->xAxis, axis);
        graph->setName(traceNames[i]);
        graph->setPen(QPen(TraceColours[i % TraceColours.size()]));
        const int scale = units.isEmpty() ? 0 : int(units.indexOf(units.value(i)));
        traces_.push_back({graph, axis, 0, scale});
    }
    plot_->xAxis->setRange(0, visibleWidth_);
    setAccessibleName(title);
    describeRanges();
    plot_->xAxis->setTicker(
        QSharedPointer<SecondsTicker>::create([this] { return following_ ? newestKey() : 0.0; }));
    plot_->xAxis->setLabel(QStringLiteral("Time [s]"));
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, &StripChartWidget::replotIfDue);
}

// Each trace keeps its own range on its own axis; only the first trace of each unit shows
// its axis, coloured like that trace when it stands on the right.
QCPAxis *StripChartWidget::scaleFor(int trace, const QStringList &units)
{
    QCPAxisRect *rect = plot_->axisRect();
    const QString unit = units.value(trace);
    const int firstOfUnit = units.isEmpty() ? 0 : int(units.indexOf(unit));
    if (firstOfUnit < trace) {
        QCPAxis *hidden = rect->addAxis(QCPAxis::atLeft);
        hidden->setVisible(false);
        return hidden;
    }
    QStringList earlierUnits = units.mid(0, trace);
    earlierUnits.removeDuplicates();
    QCPAxis *axis = nullptr;
    if (trace == 0) {
        axis = rect->axis(QCPAxis::atLeft);
    } else {
        axis = earlierUnits.size() == 1 ? rect->axis(QCPAxis::atRight)
                                        : rect->addAxis(QCPAxis::atRight);
        const QColor colour = TraceColours[trace % TraceColours.size()];
        axis->setLabelColor(colour);
        axis->setTickLabelColor(colour);
    }
    axis->setVisible(true);
    axis->setLabel(unit);
    return axis;
}

void StripChartWidget::selectTrace(int trace)
{
    if (valid(trace))
        selected_ = trace;
}

void StripChartWidget::setRange(double upper, double lower)
{
    traces_[selected_].fitted = false;
    traces_[selected_].axis->setRange(lower, upper);
    describeRanges();
    scheduleReplot();
}

void StripChartWidget::fitRangeToData()
{
    traces_[selected_].fitted = true;
    scheduleReplot();
}

void StripChartWidget::fitRanges()
{
    const QCPRange view = plot_->xAxis->range();
    std::vector<double> largest(traces_.size(), 0);
    bool anyFitted = false;
    for (const Trace &t : traces_) {
        if (!t.fitted)
            continue;
        anyFitted = true;
        const auto samples = t.graph->data();
        double &m = largest[std::size_t(t.scale)];
        for (auto it = samples->findBegin(view.lower), end = samples->findEnd(view.upper);
             it != end; ++it) {
            if (!std::isnan(it->value))
                m = qMax(m, std::abs(it->value));
        }
    }
    if (!anyFitted)
        return;
    bool changed = false;
    for (Trace &t : traces_) {
        const double m = largest[std::size_t(t.scale)];
        // A flat trace keeps the range it had rather than one too small to draw.
        if (!t.fitted || m <= 0 || t.axis->range() == QCPRange(-m * 1.1, m * 1.1))
            continue;
        t.axis->setRange(-m * 1.1, m * 1.1);
        changed = true;
    }
    if (changed)
        describeRanges();
}

// What a screen reader says of the chart besides its title: each trace's range and the time
// shown.
void StripChartWidget::describeRanges()
{
    QStringList parts;
    for (const Trace &t : traces_) {
        const QCPRange range = t.axis->range();
        parts << QStringLiteral("%1 %2 to %3")
                     .arg(t.graph->name(), NumberText::doubleText(range.lower),
                          NumberText::doubleText(range.upper));
    }
    parts << QStringLiteral("%1 s shown")
                 .arg(NumberText::doubleText(visibleWidth_ / SamplesPerSecond));
    setAccessibleDescription(parts.join(QStringLiteral("; ")));
}

// A chart that follows the newest sample shows the last `samples`; one the operator looks
// through keeps its left edge.
void StripChartWidget::setVisibleWidth(double samples)
{
    visibleWidth_ = qMax(1.0, samples);
    describeRanges();
    if (!following_) {
        const double left = plot_->xAxis->range().lower;
        plot_->xAxis->setRange(left, left + visibleWidth_);
    }
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
    const auto &held = *traces_[0].graph->data();
    // Marks of samples the chart no longer holds go with them.
    dropMarksBefore(held.isEmpty() ? 0 : held.constBegin()->key);
    auto *line = new QCPItemStraightLine(plot_);
    const double key = traces_[0].nextKey;
    line->point1->setCoords(key, 0);
    line->point2->setCoords(key, 1);
    line->setPen(QPen(Qt::black, 1, Qt::DashLine));
    marks_.push_back(line);
    scheduleReplot();
}

// A NaN ends the line; the samples after it start a new one further on.
void StripChartWidget::breakTraces()
{
    const double gap = std::ceil(visibleWidth_ * GapShare);
    for (Trace &t : traces_) {
        t.graph->addData(t.nextKey, std::numeric_limits<double>::quiet_NaN());
        t.nextKey += gap;
    }
    followNewest();
}

void StripChartWidget::skipSamples(int count)
{
    for (Trace &t : traces_) {
        t.graph->addData(t.nextKey, std::numeric_limits<double>::quiet_NaN());
        t.nextKey += count;
    }
    followNewest();
}

void StripChartWidget::setBrowsable(bool browsable)
{
    plot_->setInteraction(QCP::iRangeDrag, browsable);
    plot_->setInteraction(QCP::iRangeZoom, browsable);
    QCPAxisRect *rect = plot_->axisRect();
    rect->setRangeDrag(Qt::Horizontal);
    rect->setRangeZoom(Qt::Horizontal);
    rect->setRangeDragAxes(plot_->xAxis, nullptr);
    rect->setRangeZoomAxes(plot_->xAxis, nullptr);
    if (browsable)
        connect(plot_->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
                &StripChartWidget::keepWithinData, Qt::UniqueConnection);
}

void StripChartWidget::showWhole()
{
    following_ = false;
    plot_->xAxis->setRange(0, qMax(1.0, newestKey()));
    scheduleReplot();
}

// Dragging and zooming stop at the first and the last sample.
void StripChartWidget::keepWithinData(const QCPRange &range)
{
    if (following_)
        return;
    const double end = qMax(newestKey(), 1.0);
    const double size = qMin(range.size(), end);
    const double lower = qBound(0.0, range.lower, end - size);
    if (lower != range.lower || lower + size != range.upper)
        plot_->xAxis->setRange(lower, lower + size);
}

bool StripChartWidget::exportTo(const QString &path, const QString &caption)
{
    // The caption says what the picture shows once it is apart from the station; the window
    // does not need it.
    QCPLayoutGrid *grid = plot_->plotLayout();
    QCPTextElement *captionElement = nullptr;
    if (!caption.isEmpty()) {
        captionElement = new QCPTextElement(plot_, caption);
        grid->insertRow(grid->rowCount());
        grid->addElement(grid->rowCount() - 1, 0, captionElement);
    }
    const bool pdf =
        QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    const bool saved = pdf ? plot_->savePdf(path) : plot_->savePng(path);
    if (captionElement) {
        grid->remove(captionElement);
        grid->simplify();
        plot_->replot();
    }
    return saved;
}

void StripChartWidget::startTracesAt(int sample)
{
    for (Trace &t : traces_)
        if (t.graph->data()->isEmpty())
            t.nextKey = sample;
}

void StripChartWidget::dropMarksBefore(double key)
{
    while (!marks_.empty() && marks_.front()->point1->coords().x() < key) {
        plot_->removeItem(marks_.front());
        marks_.pop_front();
    }
}

double StripChartWidget::newestKey() const
{
    return traces_.empty() ? 0 : traces_[0].nextKey;
}

void StripChartWidget::followNewest()
{
    if (following_) {
        const double newest = newestKey();
        // The newest sample stands at the right edge from the first one on, as time goes.
        plot_->xAxis->setRange(newest - visibleWidth_, newest);
    }
    scheduleReplot();
}

// Samples arrive 100 per second per trace; the chart is drawn at the rate the eye needs to
// see it move smoothly, and not at all while it is off screen.
void StripChartWidget::scheduleReplot()
{
    dirty_ = true;
    if (!frameTimer_.isActive())
        frameTimer_.start(frameIntervalMs());
}

void StripChartWidget::replotIfDue()
{
    const bool onScreen = isVisible() && !(window() && window()->isMinimized());
    if (!dirty_ || !onScreen)
        return;
    dirty_ = false;
    fitRanges();
    plot_->replot(QCustomPlot::rpQueuedRefresh);
}

void StripChartWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (dirty_)
        frameTimer_.start(0);
}

int StripChartWidget::frameIntervalMs() const
{
    const double pixelsPerSample = qMax(1, plot_->axisRect()->width()) / visibleWidth_;
    const double ms = PixelsPerFrame / (pixelsPerSample * SamplesPerSecond) * 1000;
    return qBound(FastestFrameMs, int(ms), SlowestFrameMs);
}
