#pragma once

#include "RecordsRig.h"
#include "common/Clock.h"
#include "common/StripChart.h"

#include <functional>

// A chart that draws nothing; the values still reach it, so the work feeding it stays.
class NoOpChart : public StripChart
{
public:
    void selectTrace(int) override {}
    void setRange(double, double) override {}
    void setVisibleWidth(double) override {}
    void addSample(int, double value) override;
    void addBlock(int, const Block &values) override;
    void clear() override {}
    void setSampleExtent(int) override {}
    void setViewPosition(int) override {}
    void markCurrentSample() override {}
    void breakTraces() override {}
};

// A benchmark's minimum time in seconds, or next to none for CI's smoke run, which sets
// VORSA_BENCH_SMOKE (bench/smoke.sh).
double benchMinTime(double seconds);

// Runs the event loop as the station's own does, asleep until something happens, until `done`
// or the give-up time; false when it gave up.
bool runEventLoopUntil(const std::function<bool()> &done, int giveUpMs);

// A value of a saw-tooth wave of 2000 samples, with three decimals and a sign.
float sawToothSample(int i);

// The records side of a station on the real clock.
struct RecordsBench : RecordsRig<SystemClock> {
    // Every ring row filled from the saw-tooth and an event at `eventIndex` with a known start
    // time and station code, half the ring recorded since.
    void prepareEvent(int eventIndex);
};
