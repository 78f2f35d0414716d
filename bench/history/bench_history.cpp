#include "common/Clock.h"
#include "common/Platform.h"
#include "common/ProgramFolder.h"
#include "common/StripChart.h"
#include "history/RecordFileLoader.h"
#include "records/EventFile.h"
#include "records/EventLog.h"
#include "records/ManualRecording.h"
#include "shell/Form.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

class NullChart : public StripChart
{
public:
    void selectTrace(int) override {}
    void setRange(double, double) override {}
    void setVisibleWidth(double) override {}
    void addSample(int, double value) override { benchmark::DoNotOptimize(value); }
    void addBlock(int, const Block &) override {}
    void clear() override {}
    void setSampleExtent(int) override {}
    void setViewPosition(int) override {}
    void markCurrentSample() override {}
};

class SilentShell : public Shell
{
public:
    void open(const QString &) override {}
};

class SilentPrompter : public Prompter
{
public:
    bool askYesNo(const QString &, const QString &) override { return false; }
    std::optional<QString> askText(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    void inform(const QString &, const QString &) override {}
};

float sampleValue(int i)
{
    return float(i % 2000) * 0.37f - 370.0f;
}

// The files are written by the station's own writers, as the history viewer meets them.
struct RecordedFiles {
    QTemporaryDir dir;
    ProgramFolder folder{dir.path()};
    SystemClock clock;
    SilentShell shell;
    SilentPrompter prompter;
    Form form;
    QString eventPath;
    QString manualPath;

    RecordedFiles()
    {
        QDir().mkpath(folder.file(QStringLiteral("RecCSV")));
        form.Dir1.setPath(folder.file(QStringLiteral("RecCSV")));
        writeEventFile();
        writeManualFile();
    }

    void writeEventFile()
    {
        EventLog log(form, folder, clock, prompter, shell);
        EventFile eventFile(form, log, folder, clock);
        for (int r = 0; r < SampleRing::Rows; ++r) {
            const float x = sampleValue(r);
            form.ring.rows[r] = {x, -x * 0.5f, x * 0.25f, x * 0.001f, x * 0.01f};
        }
        form.ring.ringEventIndex = 5000;
        form.eventStartTime = QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12));
        form.txtReal.setText(100, QStringLiteral("77"));
        eventFile.WriteEventCsv();
        eventPath = QDir(form.Dir1.path()).filePath(eventFile.fileName());
    }

    void writeManualFile()
    {
        ManualRecording recording(form, folder, clock);
        recording.cmdM_Rec_Click();
        for (int i = 0; i < ManualRecording::RowsPerFile; ++i)
            recording.appendSample(sampleValue(i), -sampleValue(i) * 0.5f, sampleValue(i) * 0.25f);
        recording.cmdM_Rec_Click();
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
    NullChart chart;
    RecordFileLoader loader(files().form, chart);
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

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
