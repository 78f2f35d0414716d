#pragma once

#include "common/Control.h"
#include "common/DecodedPacket.h"
#include "common/StripChart.h"

#include <QObject>
#include <array>
#include <optional>

class Clock;

// The real-time charts: `Strip1` (a, b, c, Pd) and `Strip3` (displacement, Pd). The range
// and time-span boxes set their scales; the decoders feed them one sample at a time.
class ChartFeed : public QObject
{
    Q_OBJECT
public:
    using Sample = DecodedPacket::Sample;
    static constexpr int MaxTypedSpanSeconds = 120;
    static constexpr int BatchAboveSeconds = 20;
    static constexpr int SamplesPerSecond = 100;
    static constexpr int MsPerSample = 1000 / SamplesPerSecond;
    // Poll answers further apart than this many sample times leave a gap; nearer ones hold
    // the last answer's value in between.
    static constexpr qint64 HeldSamples = 10;
    static constexpr qint64 LongestGap = MaxTypedSpanSeconds * SamplesPerSecond;
    // The scales the charts start with, and what a box shows when its stored text is no
    // usable range (the design text "Combo1" of a first start): a strong quake fits.
    static constexpr double DefaultAccelerationRange = 250; // gal
    static constexpr double DefaultPdRange = 0.5;           // cm
    static constexpr double DefaultDisplacementRange = 3;   // cm
    static constexpr double DefaultSpanSeconds = 60;
    // The entry of the acceleration and displacement boxes that fits the range to the data.
    static constexpr const char *AutoRange = "Auto";

    // `clock` places the poll's answers at their arrival.
    ChartFeed(StripChart &strip1, StripChart &strip3, const Clock &clock,
              QObject *parent = nullptr);

    // The range and span boxes as the operator types or picks them; sys.txt keeps their text.
    Control &accelerationBox() { return accelerationBox_; }
    Control &pdBox() { return pdBox_; }
    Control &displacementBox() { return displacementBox_; }
    Control &spanBox() { return spanBox_; }
    const Control &accelerationBox() const { return accelerationBox_; }
    const Control &pdBox() const { return pdBox_; }
    const Control &displacementBox() const { return displacementBox_; }
    const Control &spanBox() const { return spanBox_; }

    // A range typed or chosen from the list rescales its chart; a text that is not a
    // positive number leaves the scale as it is.
    // A range box whose text is no usable range takes its default, so the box, the chart and
    // the settings file say the same number.
    void settleRanges();
    void showAccelerationRange();
    void showPdRange();
    void showDisplacementRange();
    // A typed span above the longest one is cut to it; a span chosen from the list is taken.
    void applyTypedSpan();
    void applyChosenSpan();

    // Whether the box's text is a range it can take (a positive number, or "Auto" where the box
    // offers it); what the box should read for the range in force; and putting that back.
    bool accepts(const Control &box) const;
    QString rangeInForce(const Control &box) const;
    void showRangeInForce(Control &box);

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
    static std::optional<double> typedNumber(const Control &combo);
    static std::optional<double> typedRange(const Control &combo);
    static bool isAuto(const Control &combo);
    bool offersAuto(const Control &box) const;
    void fitAccelerationRange();
    void fitDisplacementRange();
    void applyAccelerationRange(double limit);
    void applyPdRange(double limit);
    void applyDisplacementRange(double limit);
    void applySpan(double seconds);
    void placePollSample(const Sample &sample);
    void skipPollSamples(qint64 count);
    void drawBatch();

    Control accelerationBox_;
    Control pdBox_;
    Control displacementBox_;
    Control spanBox_;
    StripChart &strip1_;
    StripChart &strip3_;
    const Clock &clock_;
    // Where the last poll answer was drawn, in sample times since the epoch; none after a
    // silence, whose gap the traces' break shows.
    std::optional<qint64> lastPollSlot_;
    Sample lastPollSample_;
    int chartBatchIndex_ = 0;
    // The ranges and span in force; a range of 0 stands for "Auto".
    double accelerationRange_ = 0;
    double pdRange_ = 0;
    double displacementRange_ = 0;
    double spanSeconds_ = 0;
    StripChart::Block chartBatchA{}, chartBatchB{}, chartBatchC{}, chartBatchPd{}, chartBatchDisp{};
};
