#include "Fakes.h"
#include "records/ArchiveWriter.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>

namespace
{

const QDateTime Start(QDate(2026, 3, 1), QTime(1, 0), Qt::UTC);
constexpr int SecondsPerRun = 3600; // an hour per run; a day is 24 times its bytes

uint64_t splitMix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// The simulated device's noise: every axis uniform in -4..4 device counts, from a hash of the
// sample's index, as vorsa-devsim makes it.
int noise(int64_t index, int axis)
{
    const uint64_t h = splitMix(splitMix(1) ^ (uint64_t(index) * 8 + uint64_t(axis)));
    return int(h % 9) - 4;
}

// A strong quake on top of the noise: a 2 Hz swing of 150 gal peak, decaying over a minute,
// once every ten minutes.
double quake(int64_t index, int axis)
{
    const double t = double(index % 60000) / ArchiveWriter::SamplesPerSecond;
    return 150.0 * std::exp(-t / 20.0) * std::sin(2 * M_PI * 2.0 * t + axis);
}

DecodedPacket packetAt(int64_t second, bool withQuake)
{
    DecodedPacket packet;
    for (int k = 0; k < ArchiveWriter::SamplesPerSecond; ++k) {
        const int64_t i = second * ArchiveWriter::SamplesPerSecond + k;
        double v[3];
        for (int axis = 0; axis < 3; ++axis) {
            const long swing =
                withQuake ? std::lround(quake(i, axis) / ArchiveWriter::GalPerCount) : 0;
            v[axis] = double(swing + noise(i, axis));
        }
        packet.samples.push_back({v[0] * ArchiveWriter::GalPerCount,
                                  v[1] * ArchiveWriter::GalPerCount,
                                  v[2] * ArchiveWriter::GalPerCount, 0, 0});
    }
    return packet;
}

qint64 archiveBytes(const QString &root)
{
    qint64 bytes = 0;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += it.fileInfo().size();
    }
    return bytes;
}

// An hour of the stream through the archive, flushed every 10 s as the station does: the time
// per sample (of three channels) and the bytes a day of it takes.
void archiveHour(benchmark::State &state, bool withQuake)
{
    std::vector<DecodedPacket> packets;
    for (int s = 0; s < SecondsPerRun; ++s)
        packets.push_back(packetAt(s, withQuake));
    FakeClock clock(Start);
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        ArchiveWriter writer(dir.path(), MiniSeedOptions{}, clock);
        state.ResumeTiming();
        for (int s = 0; s < SecondsPerRun; ++s) {
            clock.set(Start.addSecs(s));
            writer.takePacket(packets[size_t(s)]);
            if (s % 10 == 9)
                writer.flush();
        }
        state.PauseTiming();
        bytes = archiveBytes(dir.path());
        state.ResumeTiming();
    }
    const double samples = double(SecondsPerRun) * ArchiveWriter::SamplesPerSecond;
    state.SetItemsProcessed(int64_t(double(state.iterations()) * samples));
    state.counters["MB_per_day"] = double(bytes) * 24 / 1e6;
    // Work per second of stream (100 samples of each channel); 5 ms would be 0.5 % of a core.
    state.counters["per_stream_second"] =
        benchmark::Counter(double(state.iterations()) * SecondsPerRun,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void ArchiveHourOfDemoNoise(benchmark::State &state)
{
    archiveHour(state, false);
}
BENCHMARK(ArchiveHourOfDemoNoise)->Unit(benchmark::kMillisecond);

void ArchiveHourWithQuakes(benchmark::State &state)
{
    archiveHour(state, true);
}
BENCHMARK(ArchiveHourWithQuakes)->Unit(benchmark::kMillisecond);

} // namespace
