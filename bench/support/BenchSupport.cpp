#include "BenchSupport.h"

#include <benchmark/benchmark.h>

void NoOpChart::addSample(int, double value)
{
    benchmark::DoNotOptimize(value);
}

void NoOpChart::addBlock(int, const Block &values)
{
    benchmark::DoNotOptimize(values);
}

float sawToothSample(int i)
{
    return float(i % 2000) * 0.37f - 370.0f;
}

void RecordsBench::prepareEvent(int eventIndex)
{
    for (int r = 0; r < SampleRing::Rows; ++r) {
        const float x = sawToothSample(r);
        form.ring.rows[r] = {x, -x * 0.5f, x * 0.25f, x * 0.001f, x * 0.01f};
    }
    form.ring.ringEventIndex = eventIndex;
    // Recording for long enough that the whole window of the default times is in the ring.
    form.ring.rowsRecorded = 10 * SampleRing::Rows;
    form.ring.rowsRecordedAtEvent = form.ring.rowsRecorded - SampleRing::Rows / 2;
    form.eventStartTime = QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12));
    form.txtReal.setText(100, QStringLiteral("77"));
}
