#pragma once

#include "common/StripChart.h"

#include <array>
#include <vector>

// The history chart's operations, keeping the samples instead of drawing them: a record file
// is read exactly as the history page reads it, for other uses than plotting.
class TraceCollector : public StripChart
{
public:
    using Traces = std::array<std::vector<double>, 5>; // a, b, c, Pd, displacement

    Traces traces;

    void selectTrace(int) override {}
    void setRange(double, double) override {}
    void setVisibleWidth(double) override {}
    void addSample(int trace, double value) override { traces.at(trace).push_back(value); }
    void addBlock(int trace, const Block &values) override
    {
        traces.at(trace).insert(traces.at(trace).end(), values.begin(), values.end());
    }
    void clear() override
    {
        for (auto &trace : traces)
            trace.clear();
    }
    void setSampleExtent(int) override {}
    void setViewPosition(int) override {}
    void markCurrentSample() override {}
    void breakTraces() override {}
};
