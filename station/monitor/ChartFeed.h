#pragma once

#include "common/DecodedPacket.h"
#include "common/StripChart.h"
#include "monitor/DisplaySettings.h"

#include <QObject>
#include <array>
#include <optional>

class Clock;

// The real-time charts: `Strip1` (a, b, c, Pd) and `Strip3` (displacement, Pd). The display
// settings set their scales; the decoders feed them one sample at a time.
class ChartFeed : public QObject
{
    Q_OBJECT
public:
    using Sample = DecodedPacket::Sample;
    static constexpr int BatchAboveSeconds = 20;
    static constexpr int SamplesPerSecond = 100;
    static constexpr int MsPerSample = 1000 / SamplesPerSecond;
    // Poll answers further apart than this many sample times leave a gap; nearer ones hold
    // the last answer's value in between.
    static constexpr qint64 HeldSamples = 10;
    static constexpr qint64 LongestGap = DisplaySettings::MaxTypedSpanSeconds * SamplesPerSecond;

    // The charts follow `settings`' ranges and span; `clock` places the poll's answers at
    // their arrival.
    ChartFeed(const DisplaySettings &settings, StripChart &strip1, StripChart &strip3,
              const Clock &clock, QObject *parent = nullptr);

    // A stream packet's samples are drawn at once, a register response's through the poll feed.
    void takePacket(const DecodedPacket &packet);
    // One sample of a stream packet: drawn at once.
    void streamSample(const Sample &sample);
    // The one sample of a register poll, at the time it arrived: drawn at once for short
    // spans, in blocks of ten for spans above 20 s.
    void pollSample(const Sample &sample);

    int chartBatchIndex() const { return chartBatchIndex_; }

    // The link fell silent or came back (the link's status, wired by the shell): the traces
    // break where it fell silent, so the samples after the outage do not join the ones before.
    void setLinkSilent(bool silent);

private:
    void applyAccelerationRange(double range);
    void applyPdRange(double range);
    void applyDisplacementRange(double range);
    void applySpan(double seconds);
    void placePollSample(const Sample &sample);
    void skipPollSamples(qint64 count);
    void drawBatch();

    const DisplaySettings &settings_;
    StripChart &strip1_;
    StripChart &strip3_;
    const Clock &clock_;
    // Where the last poll answer was drawn, in sample times since the epoch; none after a
    // silence, whose gap the traces' break shows.
    std::optional<qint64> lastPollSlot_;
    Sample lastPollSample_;
    int chartBatchIndex_ = 0;
    StripChart::Block chartBatchA{}, chartBatchB{}, chartBatchC{}, chartBatchPd{}, chartBatchDisp{};
};
