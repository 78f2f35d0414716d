#pragma once

#include <array>

// A scrolling multi-trace strip chart plotted against the sample count (100 per second).
// Exactly the operations the station uses; the window implements it with a plot widget.
class StripChart
{
public:
    using Block = std::array<double, 10>;

    virtual ~StripChart() = default;
    virtual void selectTrace(int trace) = 0;
    // Range of the selected trace (both of the component's range pairs get the same values).
    virtual void setRange(double upper, double lower) = 0;
    // The selected trace's range follows the samples on view, symmetric about zero, until a
    // range is set. Charts that draw nothing ignore it.
    virtual void fitRangeToData() {}
    virtual void setVisibleWidth(double samples) = 0;
    virtual void addSample(int trace, double value) = 0;
    virtual void addBlock(int trace, const Block &values) = 0; // oldest first
    virtual void clear() = 0;
    virtual void setSampleExtent(int samples) = 0;
    virtual void setViewPosition(int sample) = 0;
    virtual void markCurrentSample() = 0;
    // Samples stopped coming: the traces go on after a visible gap instead of joining the
    // next samples onto the last ones.
    virtual void breakTraces() = 0;
    // After `clear`: the first sample of each trace stands at `sample`, not at the left edge
    // (a record whose first rows are missing). A chart that keeps no positions ignores it.
    virtual void startTracesAt(int sample) { (void)sample; }
    // No samples came for `count` sample times: the traces go on that much later, the time
    // between them left empty. A chart that keeps no positions ignores it.
    virtual void skipSamples(int count) { (void)count; }
};
