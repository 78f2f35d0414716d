#pragma once

#include "common/Control.h"

#include <QObject>
#include <optional>

// The real-time charts' ranges and time span: the four boxes the operator types into or picks
// from (sys.txt keeps their text) and the ranges in force they set.
class DisplaySettings : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxTypedSpanSeconds = 120;
    // The ranges and span in force at start, and what a box takes when its stored text is no
    // usable range (the design text "Combo1" of a first start): a strong quake fits.
    static constexpr double DefaultAccelerationRange = 250; // gal
    static constexpr double DefaultPdRange = 0.5;           // cm
    static constexpr double DefaultDisplacementRange = 3;   // cm
    static constexpr double DefaultSpanSeconds = 60;
    // The entry of the acceleration and displacement boxes that fits the range to the data,
    // and the range in force that stands for it.
    static constexpr const char *AutoRange = "Auto";
    static constexpr double FittedRange = 0;

    explicit DisplaySettings(QObject *parent = nullptr);

    Control &accelerationBox() { return accelerationBox_; }
    Control &pdBox() { return pdBox_; }
    Control &displacementBox() { return displacementBox_; }
    Control &spanBox() { return spanBox_; }
    const Control &accelerationBox() const { return accelerationBox_; }
    const Control &pdBox() const { return pdBox_; }
    const Control &displacementBox() const { return displacementBox_; }
    const Control &spanBox() const { return spanBox_; }

    // The ranges in force, in the unit of their box; `FittedRange` for "Auto".
    double accelerationRange() const { return accelerationRange_; }
    double pdRange() const { return pdRange_; }
    double displacementRange() const { return displacementRange_; }
    double spanSeconds() const { return spanSeconds_; }
    // The span box's text as a number even while the operator types (its leading number, 0
    // for none): poll answers are drawn in blocks by what the box reads, not by the span.
    double spanBoxSeconds() const;

    // A range box whose text is no usable range takes its default, so the box, the chart and
    // the settings file say the same number.
    void settleRanges();
    // Whether the box's text is a range it can take (a positive number, or "Auto" where the box
    // offers it); what the box should read for the range in force; and putting that back.
    bool accepts(const Control &box) const;
    QString rangeInForce(const Control &box) const;
    void showRangeInForce(Control &box);

signals:
    void accelerationRangeChanged(double range);
    void pdRangeChanged(double range);
    void displacementRangeChanged(double range);
    void spanChanged(double seconds);

private:
    using ChangeSignal = void (DisplaySettings::*)(double);

    static std::optional<double> typedRange(const Control &box);
    static bool isAuto(const Control &box);
    std::optional<double> rangeOf(const Control &box) const;
    void followRangeBox(Control &box, double &inForce, ChangeSignal changed);
    void takeTypedSpan();
    void takeChosenSpan();
    void putInForce(double &inForce, double value, ChangeSignal changed);

    Control accelerationBox_;
    Control pdBox_;
    Control displacementBox_;
    Control spanBox_;
    double accelerationRange_ = DefaultAccelerationRange;
    double pdRange_ = DefaultPdRange;
    double displacementRange_ = DefaultDisplacementRange;
    double spanSeconds_ = DefaultSpanSeconds;
};
