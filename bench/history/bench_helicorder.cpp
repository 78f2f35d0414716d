#include "Fakes.h"
#include "common/MiniSeedPacking.h"
#include "history/ArchiveReader.h"
#include "history/Helicorder.h"
#include "records/ArchiveWriter.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

const QDateTime Day(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);

// A full day of one channel in the archive, noise of -4..4 counts, as the station writes it.
struct ArchivedDay {
    ArchivedDay()
    {
        FakeClock clock(Day);
        ArchiveWriter writer(dir.path(), MiniSeedOptions{}, clock);
        DecodedPacket packet;
        for (int s = 0; s < 86400; ++s) {
            packet.samples.clear();
            for (int k = 0; k < 100; ++k) {
                const double gal = ((s * 100 + k) * 7919 % 9 - 4) * ArchiveWriter::GalPerCount;
                packet.samples.push_back({gal, gal, gal, 0, 0});
            }
            clock.set(Day.addMSecs(qint64(s) * 1000 + 990));
            writer.takePacket(packet);
            if (s % 10 == 9)
                writer.flush();
        }
    }
    QTemporaryDir dir;
};

// What the helicorder does before it draws a day: read the channel back from the archive,
// reduced to the window's columns while it is decoded, and lay it out in 96 lines of a
// column a pixel (1200).
void HelicorderDayReadAndLayout(benchmark::State &state)
{
    static const ArchivedDay day;
    const HelicorderLayout layout(Day, 15);
    const qint64 start = Day.toMSecsSinceEpoch() * 1000;
    const qint64 end = Day.addDays(1).toMSecsSinceEpoch() * 1000;
    size_t points = 0;
    for (auto _ : state) {
        HelicorderEnvelope envelope(start, end, 50);
        ArchiveReader(day.dir.path(), MiniSeedOptions{})
            .scan(QStringLiteral("HNA"), start, end,
                  [&envelope](qint64 first, const qint32 *counts, qint64 count) {
                      envelope.add(first, counts, count);
                  });
        const HelicorderTrace trace = HelicorderTrace::build(
            layout, envelope, MiniSeedPacking::Archive::GalPerCount, 5.0, 1200);
        points = 0;
        for (const auto &line : trace.x)
            points += line.size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = double(points);
}
BENCHMARK(HelicorderDayReadAndLayout)->Unit(benchmark::kMillisecond);

} // namespace
