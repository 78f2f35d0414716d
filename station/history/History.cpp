#include "History.h"

#include "common/ExtensionSettings.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "common/ProgramFolder.h"
#include "common/RecordFolder.h"
#include "common/StripChart.h"

#include <QFile>
#include <QLoggingCategory>
#include <optional>

Q_LOGGING_CATEGORY(lcHistory, "vorsa.history")

namespace
{

// The text as a range or span; none while it is not yet a positive number.
std::optional<double> numberOf(const QString &text)
{
    double value = 0;
    if (!NumberText::parseNumber(text, &value) || value <= 0)
        return std::nullopt;
    return value;
}

} // namespace

History::History(LiveFields &fields, RecordFolder &records, Control &statusLine,
                 const Control &windowTitle, StripChart &strip2, Prompter &prompter, Shell &shell,
                 const ProgramFolder &folder, QObject *parent)
    : QObject(parent), records_(records), statusLine_(statusLine), windowTitle_(windowTitle),
      strip2_(strip2), prompter_(prompter), shell_(shell), folder_(folder), loader_(fields, strip2),
      recordLength_(QString::fromUtf16(NotLoaded))
{
    loadedIntensity_.setText(QString::fromUtf16(NotLoaded));
    for (auto signal : {&Control::textChanged, &Control::chosen}) {
        connect(&accelerationBox_, signal, this, &History::applyAccelerationRange);
        connect(&pdBox_, signal, this, &History::applyPdRange);
        connect(&spanBox_, signal, this, &History::applyTimeSpan);
    }
}

void History::loadSelectedFile()
{
    const QString name = records_.selectedFile();
    if (name.isEmpty())
        return;
    const QString problem = loader_.load(records_.selectedPath(), name);
    describeLoadedRecord(name);
    if (!loader_.intensity().isEmpty())
        loadedIntensity_.setText(loader_.intensity());
    if (problem.isEmpty())
        return;
    qCInfo(lcHistory).noquote() << problem;
    statusLine_.setText(problem);
}

// A file that is no record leaves the chart, and so its description, as they were.
void History::describeLoadedRecord(const QString &fileName)
{
    if (loader_.layout() == RecordFileLoader::Layout::None)
        return;
    const double seconds = loader_.rowCount() / 100.0;
    QString length = NumberText::fixed(seconds, 2) + QStringLiteral(" s");
    // Rows are 0.01 s apart: half a row of difference is rounding, not a missing row.
    if (loader_.recordLengthSeconds() > 0 && seconds < loader_.recordLengthSeconds() - 0.005)
        length += QStringLiteral(" (of %1 s) cut short")
                      .arg(NumberText::fixed(loader_.recordLengthSeconds(), 2));
    QStringList caption{fileName};
    if (!loader_.stationCode().isEmpty())
        caption << QStringLiteral("station ") + loader_.stationCode();
    const QString format = QStringLiteral("yyyy/MM/dd HH:mm:ss");
    if (loader_.start().isValid()) {
        // An event file's rows run from its window's start; its header names the trigger.
        const QDateTime first = loader_.layout() == RecordFileLoader::Layout::Event
                                    ? loader_.start().addMSecs(qRound64(
                                          (loader_.firstRowSeconds() - preAlarmSeconds_) * 1000))
                                    : loader_.start();
        caption << first.toString(format) + QStringLiteral(" to ") +
                       first.addMSecs(qRound64(seconds * 1000)).toString(format);
    }
    caption << length;
    exportCaption_ = caption.join(QStringLiteral(", "));
    if (length == recordLength_)
        return;
    recordLength_ = length;
    emit recordLengthChanged(recordLength_);
}

void History::deleteSelectedFile()
{
    const QString name = records_.selectedFile();
    if (!prompter_.askYesNo(QStringLiteral("Delete File : ") + name, windowTitle_.text()))
        return;
    if (!name.isEmpty()) {
        QFile file(records_.selectedPath());
        if (!file.remove())
            statusLine_.setText(
                QStringLiteral("Cannot delete %1: %2").arg(name, file.errorString()));
    }
    records_.refresh();
    records_.selectLast();
}

void History::openSummaryFile()
{
    openDocument(shell_, statusLine_, folder_.file(QStringLiteral("Vorsa.txt")));
}

void History::exportSelectedFile()
{
    if (records_.selectedFile().isEmpty()) {
        statusLine_.setText(QStringLiteral("Select a record file to export"));
        return;
    }
    exportMiniSeed(records_.selectedPath(), miniSeedOptions());
}

void History::eventFileWritten(const QString &path)
{
    const MiniSeedOptions options = miniSeedOptions();
    if (options.exportEventFiles)
        exportMiniSeed(path, options);
}

void History::addMiniSeedKeys()
{
    MiniSeedOptions::addMissingKeys(*openExtensionSettings(folder_));
}

// Read afresh each time, so an edited vorsa.ini applies without a restart.
MiniSeedOptions History::miniSeedOptions() const
{
    return MiniSeedOptions::read(*openExtensionSettings(folder_));
}

void History::exportMiniSeed(const QString &path, const MiniSeedOptions &options)
{
    const MiniSeedExport exporter(options, preAlarmSeconds_);
    const MiniSeedExport::Result result = exporter.exportFile(path);
    if (result.output.isEmpty())
        qCWarning(lcHistory).noquote() << result.message;
    else
        qCInfo(lcHistory).noquote() << result.message;
    statusLine_.setText(result.message);
}

void History::applyAccelerationRange()
{
    const std::optional<double> range = numberOf(accelerationBox_.text());
    if (!range)
        return;
    for (int trace = 0; trace < 3; ++trace) {
        strip2_.selectTrace(trace);
        strip2_.setRange(*range, -*range);
    }
}

void History::applyPdRange()
{
    const std::optional<double> range = numberOf(pdBox_.text());
    if (!range)
        return;
    strip2_.selectTrace(3);
    strip2_.setRange(*range, 0);
    strip2_.selectTrace(4);
    strip2_.setRange(*range, -*range);
}

void History::applyTimeSpan()
{
    if (const std::optional<double> seconds = numberOf(spanBox_.text()))
        strip2_.setVisibleWidth(*seconds * 100);
}
