#include "BenchSupport.h"

#include <QCoreApplication>
#include <QTimer>

#include "common/FieldNumbers.h"

#include <benchmark/benchmark.h>

void NoOpChart::addSample(int, double value)
{
    benchmark::DoNotOptimize(value);
}

void NoOpChart::addBlock(int, const Block &values)
{
    benchmark::DoNotOptimize(values);
}

double benchMinTime(double seconds)
{
    return qEnvironmentVariableIsSet("VORSA_BENCH_SMOKE") ? 0.001 : seconds;
}

float sawToothSample(int i)
{
    return float(i % 2000) * 0.37f - 370.0f;
}

void RecordsBench::prepareEvent(int eventIndex)
{
    const auto pushRows = [this](int count) {
        for (int i = 0; i < count; ++i) {
            const float x = sawToothSample(ring.writeIndex());
            ring.push({x, -x * 0.5f, x * 0.25f, x * 0.001f, x * 0.01f});
        }
    };
    pushRows(SampleRing::Rows +
             (eventIndex - ring.writeIndex() + SampleRing::Rows) % SampleRing::Rows);
    eventFile.beginEvent(QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12)));
    pushRows(SampleRing::Rows / 2);
    readout.liveFields.setText(Field::StationCode, QStringLiteral("77"));
}

bool runEventLoopUntil(const std::function<bool()> &done, int giveUpMs)
{
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.start(giveUpMs);
    while (!done() && giveUp.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
