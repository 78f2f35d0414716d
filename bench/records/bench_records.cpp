#include "common/Clock.h"
#include "common/Platform.h"
#include "common/ProgramFolder.h"
#include "records/EventFile.h"
#include "records/EventLog.h"
#include "shell/Form.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

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

void fillRing(SampleRing &ring)
{
    for (int r = 0; r < SampleRing::Rows; ++r) {
        const float x = float(r % 2000) * 0.37f - 370.0f;
        ring.rows[r] = {x, -x * 0.5f, x * 0.25f, x * 0.001f, x * 0.01f};
    }
}

// An event with the default 30 s before and 90 s after the trigger: 12000 rows.
void WriteEventCsv12000Rows(benchmark::State &state)
{
    QTemporaryDir dir;
    const ProgramFolder folder(dir.path());
    SystemClock clock;
    SilentShell shell;
    SilentPrompter prompter;
    Form form;
    EventLog log(form, folder, clock, prompter, shell);
    EventFile eventFile(form, log, folder, clock);
    fillRing(form.ring);
    form.ring.ringEventIndex = 1000;
    form.eventStartTime = QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12));
    form.txtReal.setText(100, QStringLiteral("77"));
    form.Dir1.setPath(dir.path());
    const QString path = QDir(dir.path()).filePath(eventFile.fileName());
    for (auto _ : state) {
        eventFile.WriteEventCsv();
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
}
BENCHMARK(WriteEventCsv12000Rows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
