#include "BenchSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace
{

// An event with the default 30 s before and 90 s after the trigger: 12000 rows.
void WriteEventFile12000Rows(benchmark::State &state)
{
    RecordsBench b;
    b.prepareEvent(1000);
    b.recording.setRecordFolder(b.dir.path());
    const QString path = QDir(b.dir.path()).filePath(b.eventFile.fileName());
    for (auto _ : state) {
        b.eventFile.writeEventFile();
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
}
BENCHMARK(WriteEventFile12000Rows)->Unit(benchmark::kMillisecond);

// What the event loop spends when a journal starts with the default 30 s of pre-alarm rows:
// the rows are formatted here, the journal's thread writes and syncs them.
void JournalStartWith3000Rows(benchmark::State &state)
{
    RecordsBench b;
    b.recording.setRecordFolder(b.dir.path());
    for (auto _ : state) {
        state.PauseTiming();
        b.prepareEvent(1000);
        b.eventFile.beginEvent(QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12)));
        state.ResumeTiming();
        b.eventFile.armPostAlarm();
        state.PauseTiming();
        b.eventFile.finishPending();
        b.eventFile.drainJournal();
        state.ResumeTiming();
    }
}
BENCHMARK(JournalStartWith3000Rows)->Unit(benchmark::kMillisecond);

// One second of rows handed to the journal, as after each stream packet.
void JournalOneSecond(benchmark::State &state)
{
    RecordsBench b;
    b.recording.setRecordFolder(b.dir.path());
    b.recording.setPostAlarmSeconds(240);
    b.prepareEvent(1000);
    b.eventFile.beginEvent(QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12)));
    b.eventFile.armPostAlarm();
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 100; ++i)
            b.ring.push({1, 2, 3, 4, 5});
        state.ResumeTiming();
        b.eventFile.samplesStored();
    }
    b.eventFile.drainJournal();
}
// Within the post-alarm time the window still grows: 200 seconds.
BENCHMARK(JournalOneSecond)->Unit(benchmark::kMicrosecond)->Iterations(200);

// What the journal's thread spends on one second of rows: the time a sync on the event loop
// would have stalled it.
void JournalSyncOneSecond(benchmark::State &state)
{
    QTemporaryDir dir;
    QFile file(QDir(dir.path()).filePath(QStringLiteral(".sync.journal")));
    file.open(QIODevice::WriteOnly);
    const QByteArray second(100 * 67, 'x');
    for (auto _ : state) {
        file.write(second);
        file.flush();
        ::fdatasync(file.handle());
    }
}
BENCHMARK(JournalSyncOneSecond)->Unit(benchmark::kMillisecond);

} // namespace
