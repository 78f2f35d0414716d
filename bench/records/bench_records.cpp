#include "BenchSupport.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

namespace
{

// An event with the default 30 s before and 90 s after the trigger: 12000 rows.
void WriteEventFile12000Rows(benchmark::State &state)
{
    RecordsBench b;
    b.prepareEvent(1000);
    b.settings.setRecordFolder(b.dir.path());
    const QString path = QDir(b.dir.path()).filePath(b.eventFile.fileName());
    for (auto _ : state) {
        b.eventFile.writeEventFile();
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
}
BENCHMARK(WriteEventFile12000Rows)->Unit(benchmark::kMillisecond);

} // namespace
