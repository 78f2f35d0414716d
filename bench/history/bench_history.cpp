#include "BenchSupport.h"
#include "history/RecordFileLoader.h"
#include "records/ManualRecording.h"

#include <QDir>
#include <benchmark/benchmark.h>

namespace
{

// The files are written by the station's own writers, as the history viewer meets them.
struct RecordedFiles : RecordsBench {
    QString eventPath;
    QString manualPath;

    RecordedFiles()
    {
        QDir().mkpath(folder.file(QStringLiteral("RecCSV")));
        recording.setRecordFolder(folder.file(QStringLiteral("RecCSV")));
        writeEventFile();
        writeManualFile();
    }

    void writeEventFile()
    {
        prepareEvent(5000);
        eventFile.writeEventFile();
        eventPath = QDir(recording.recordFolder()).filePath(eventFile.fileName());
    }

    void writeManualFile()
    {
        Control indicator;
        ManualRecording manual(readout.statusLine, indicator, folder, clock);
        manual.toggleRecording();
        for (int i = 0; i < ManualRecording::RowsPerFile; ++i)
            manual.appendSample(sawToothSample(i), -sawToothSample(i) * 0.5f,
                                sawToothSample(i) * 0.25f);
        manual.toggleRecording();
        const QDir recCsv(folder.file(QStringLiteral("RecCSV")));
        manualPath = recCsv.filePath(recCsv.entryList({QStringLiteral("M*.csv")}).value(0));
    }
};

RecordedFiles &files()
{
    static RecordedFiles recorded;
    return recorded;
}

void load(benchmark::State &state, const QString &path)
{
    NoOpChart chart;
    RecordFileLoader loader(files().readout.liveFields, chart);
    const QString name = QFileInfo(path).fileName();
    for (auto _ : state) {
        const QString problem = loader.load(path, name);
        if (!problem.isEmpty())
            state.SkipWithError(qPrintable(problem));
    }
}

void LoadEventFile12000Rows(benchmark::State &state)
{
    load(state, files().eventPath);
}
BENCHMARK(LoadEventFile12000Rows)->Unit(benchmark::kMillisecond);

void LoadManualFile30000Rows(benchmark::State &state)
{
    load(state, files().manualPath);
}
BENCHMARK(LoadManualFile30000Rows)->Unit(benchmark::kMillisecond);

} // namespace
