#include "ChartFeed.h"

#include "common/Clock.h"
#include "common/NumberText.h"

#include <algorithm>

ChartFeed::ChartFeed(StripChart &strip1, StripChart &strip3, const Clock &clock, QObject *parent)
    : QObject(parent), strip1_(strip1), strip3_(strip3), clock_(clock)
{
    for (auto signal : {&Control::textChanged, &Control::chosen}) {
        connect(&accelerationBox_, signal, this, &ChartFeed::showAccelerationRange);
        connect(&pdBox_, signal, this, &ChartFeed::showPdRange);
        connect(&displacementBox_, signal, this, &ChartFeed::showDisplacementRange);
    }
    connect(&spanBox_, &Control::textChanged, this, &ChartFeed::applyTypedSpan);
    connect(&spanBox_, &Control::chosen, this, &ChartFeed::applyChosenSpan);
    applyAccelerationRange(DefaultAccelerationRange);
    applyPdRange(DefaultPdRange);
    applyDisplacementRange(DefaultDisplacementRange);
    applySpan(DefaultSpanSeconds);
}

void ChartFeed::setLinkSilent(bool silent)
{
    if (!silent)
        return;
    lastPollSlot_.reset();
    strip1_.breakTraces();
    strip3_.breakTraces();
}

// Text typed into a combo is applied only once it is a number: while the operator types, an
// empty text, a lone "-" or "." keeps the previous scale.
std::optional<double> ChartFeed::typedNumber(const Control &combo)
{
    double value = 0;
    if (!NumberText::parseNumber(combo.text(), &value))
        return std::nullopt;
    return value;
}

// A range of zero or less would draw every trace as a flat line on the chart's edge.
std::optional<double> ChartFeed::typedRange(const Control &combo)
{
    const auto value = typedNumber(combo);
    if (!value || *value <= 0)
        return std::nullopt;
    return value;
}

bool ChartFeed::isAuto(const Control &combo)
{
    return combo.text().trimmed().compare(QLatin1String(AutoRange), Qt::CaseInsensitive) == 0;
}

bool ChartFeed::offersAuto(const Control &box) const
{
    return &box == &accelerationBox_ || &box == &displacementBox_;
}

bool ChartFeed::accepts(const Control &box) const
{
    return typedRange(box).has_value() || (offersAuto(box) && isAuto(box));
}

QString ChartFeed::rangeInForce(const Control &box) const
{
    double range = spanSeconds_;
    if (&box == &accelerationBox_)
        range = accelerationRange_;
    else if (&box == &pdBox_)
        range = pdRange_;
    else if (&box == &displacementBox_)
        range = displacementRange_;
    return range > 0 ? NumberText::doubleText(range) : QString::fromLatin1(AutoRange);
}

void ChartFeed::showRangeInForce(Control &box)
{
    const QString inForce = rangeInForce(box);
    if (box.text() != inForce)
        box.setText(inForce);
}

void ChartFeed::settleRanges()
{
    const std::pair<Control *, double> boxes[] = {{&accelerationBox_, DefaultAccelerationRange},
                                                  {&pdBox_, DefaultPdRange},
                                                  {&displacementBox_, DefaultDisplacementRange},
                                                  {&spanBox_, DefaultSpanSeconds}};
    for (const auto &[box, fallback] : boxes)
        if (!accepts(*box))
            box->setText(QString::number(fallback));
}

void ChartFeed::showAccelerationRange()
{
    if (isAuto(accelerationBox_))
        fitAccelerationRange();
    else if (const auto limit = typedRange(accelerationBox_))
        applyAccelerationRange(*limit);
}

void ChartFeed::showPdRange()
{
    if (const auto limit = typedRange(pdBox_))
        applyPdRange(*limit);
}

void ChartFeed::showDisplacementRange()
{
    if (isAuto(displacementBox_))
        fitDisplacementRange();
    else if (const auto limit = typedRange(displacementBox_))
        applyDisplacementRange(*limit);
}

void ChartFeed::applyTypedSpan()
{
    const auto seconds = typedNumber(spanBox_);
    if (!seconds)
        return;
    if (*seconds > MaxTypedSpanSeconds) {
        // Runs this handler again with the limit before the span is applied here.
        spanBox_.setText(QString::number(MaxTypedSpanSeconds));
        applySpan(MaxTypedSpanSeconds);
        return;
    }
    applySpan(*seconds);
}

void ChartFeed::applyChosenSpan()
{
    if (const auto seconds = typedNumber(spanBox_))
        applySpan(*seconds);
}

void ChartFeed::applyAccelerationRange(double limit)
{
    accelerationRange_ = limit;
    for (int trace = 0; trace < 3; ++trace) {
        strip1_.selectTrace(trace);
        strip1_.setRange(limit, -limit);
    }
}

void ChartFeed::fitAccelerationRange()
{
    accelerationRange_ = 0;
    for (int trace = 0; trace < 3; ++trace) {
        strip1_.selectTrace(trace);
        strip1_.fitRangeToData();
    }
}

void ChartFeed::fitDisplacementRange()
{
    displacementRange_ = 0;
    strip3_.selectTrace(0);
    strip3_.fitRangeToData();
}

void ChartFeed::applyPdRange(double limit)
{
    pdRange_ = limit;
    strip1_.selectTrace(3);
    strip1_.setRange(limit, 0);
    strip3_.selectTrace(1);
    strip3_.setRange(limit, 0);
}

void ChartFeed::applyDisplacementRange(double limit)
{
    displacementRange_ = limit;
    strip3_.selectTrace(0);
    strip3_.setRange(limit, -limit);
}

// A span of zero or less would leave the charts without a single visible sample.
void ChartFeed::applySpan(double seconds)
{
    if (seconds <= 0)
        return;
    spanSeconds_ = seconds;
    strip1_.setVisibleWidth(seconds * SamplesPerSecond);
    strip3_.setVisibleWidth(seconds * SamplesPerSecond);
}

void ChartFeed::takePacket(const DecodedPacket &packet)
{
    for (const Sample &sample : packet.samples) {
        if (packet.isStream())
            streamSample(sample);
        else
            pollSample(sample);
    }
}

void ChartFeed::streamSample(const Sample &sample)
{
    strip1_.addSample(0, sample.a);
    strip1_.addSample(1, sample.b);
    strip1_.addSample(2, sample.c);
    strip1_.addSample(3, sample.pd);
    strip3_.addSample(0, sample.displacement);
    strip3_.addSample(1, sample.pd);
}

// The time axis counts sample times of 10 ms: a device that answers 80 times a second leaves
// one in five without an answer, which holds the value before it, so the axis keeps time.
void ChartFeed::pollSample(const Sample &sample)
{
    const qint64 slot = clock_.msecsSinceEpoch() / MsPerSample;
    if (lastPollSlot_) {
        qint64 missing = std::min(slot - *lastPollSlot_ - 1, LongestGap);
        if (missing > HeldSamples) {
            // The block under way ends on the last value; the rest of the silence stays empty.
            for (; missing > 0 && chartBatchIndex_ != 0; --missing)
                placePollSample(lastPollSample_);
            skipPollSamples(missing);
        } else {
            for (; missing > 0; --missing)
                placePollSample(lastPollSample_);
        }
    }
    placePollSample(sample);
    // Answers faster than the sample time take the next one.
    lastPollSlot_ = lastPollSlot_ ? std::max(slot, *lastPollSlot_ + 1) : slot;
    lastPollSample_ = sample;
}

void ChartFeed::skipPollSamples(qint64 count)
{
    if (count <= 0)
        return;
    strip1_.skipSamples(int(count));
    strip3_.skipSamples(int(count));
}

void ChartFeed::placePollSample(const Sample &sample)
{
    if (NumberText::leadingNumber(spanBox_.text()) <= BatchAboveSeconds) {
        streamSample(sample);
        return;
    }
    const int slot = chartBatchIndex_;
    chartBatchA[slot] = sample.a;
    chartBatchB[slot] = sample.b;
    chartBatchC[slot] = sample.c;
    chartBatchPd[slot] = sample.pd;
    chartBatchDisp[slot] = sample.displacement;
    if (slot < int(chartBatchA.size()) - 1) {
        chartBatchIndex_ = slot + 1;
        return;
    }
    chartBatchIndex_ = 0;
    drawBatch();
}

void ChartFeed::drawBatch()
{
    strip1_.addBlock(0, chartBatchA);
    strip1_.addBlock(1, chartBatchB);
    strip1_.addBlock(2, chartBatchC);
    strip1_.addBlock(3, chartBatchPd);
    strip3_.addBlock(0, chartBatchDisp);
    strip3_.addBlock(1, chartBatchPd);
}
