#include "ChartFeed.h"

#include "common/Clock.h"

#include <algorithm>

namespace
{

// Acceleration and displacement swing about zero; "Auto" follows the samples on view.
void scaleSelectedTrace(StripChart &strip, double range)
{
    if (range == DisplaySettings::FittedRange)
        strip.fitRangeToData();
    else
        strip.setRange(range, -range);
}

} // namespace

ChartFeed::ChartFeed(const DisplaySettings &settings, StripChart &strip1, StripChart &strip3,
                     const Clock &clock, QObject *parent)
    : QObject(parent), settings_(settings), strip1_(strip1), strip3_(strip3), clock_(clock)
{
    connect(&settings, &DisplaySettings::accelerationRangeChanged, this,
            &ChartFeed::applyAccelerationRange);
    connect(&settings, &DisplaySettings::pdRangeChanged, this, &ChartFeed::applyPdRange);
    connect(&settings, &DisplaySettings::displacementRangeChanged, this,
            &ChartFeed::applyDisplacementRange);
    connect(&settings, &DisplaySettings::spanChanged, this, &ChartFeed::applySpan);
    applyAccelerationRange(settings.accelerationRange());
    applyPdRange(settings.pdRange());
    applyDisplacementRange(settings.displacementRange());
    applySpan(settings.spanSeconds());
}

void ChartFeed::setLinkSilent(bool silent)
{
    if (!silent)
        return;
    lastPollSlot_.reset();
    strip1_.breakTraces();
    strip3_.breakTraces();
}

void ChartFeed::applyAccelerationRange(double range)
{
    for (int trace = 0; trace < 3; ++trace) {
        strip1_.selectTrace(trace);
        scaleSelectedTrace(strip1_, range);
    }
}

void ChartFeed::applyPdRange(double range)
{
    strip1_.selectTrace(3);
    strip1_.setRange(range, 0);
    strip3_.selectTrace(1);
    strip3_.setRange(range, 0);
}

void ChartFeed::applyDisplacementRange(double range)
{
    strip3_.selectTrace(0);
    scaleSelectedTrace(strip3_, range);
}

void ChartFeed::applySpan(double seconds)
{
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
    if (settings_.spanBoxSeconds() <= BatchAboveSeconds) {
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
