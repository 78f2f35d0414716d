#include "MiniSeedExport.h"

#include "common/LiveFields.h"
#include "common/MiniSeedPacking.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace
{

constexpr int Axes = 3;
constexpr int EventTraces = 5; // a, b, c, Pd, displacement: a cut row leaves any of them short

// The last line of the file without its line end; empty when the file does not end with
// one, which is how a file cut while it was written looks.
QString completedLastLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    file.seek(qMax<qint64>(0, file.size() - 256));
    const QByteArray tail = file.readAll();
    if (!tail.endsWith('\n'))
        return {};
    const QByteArray body = tail.chopped(tail.endsWith("\r\n") ? 2 : 1);
    return QString::fromLatin1(body.mid(body.lastIndexOf('\n') + 1));
}

// The start the record's header names, to the whole second as the history page shows it.
std::optional<QDateTime> headerStart(const RecordFileLoader &loader)
{
    const QDateTime when = loader.start();
    if (!when.isValid())
        return std::nullopt;
    return when.addMSecs(-when.time().msec());
}

// A manual recording is named "M" + MMddHHmmss of its start; the year is the one that puts
// the start at or before the file's last change.
std::optional<QDateTime> manualStart(const QFileInfo &info)
{
    static const QRegularExpression name(QStringLiteral("^M(\\d{10})\\.csv$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = name.match(info.fileName());
    if (!match.hasMatch())
        return std::nullopt;
    const QString digits = match.captured(1);
    auto part = [&digits](int index) { return digits.mid(index * 2, 2).toInt(); };
    const QDateTime changed = info.lastModified();
    for (int year : {changed.date().year(), changed.date().year() - 1}) {
        const QDateTime start(QDate(year, part(0), part(1)), QTime(part(2), part(3), part(4)));
        if (start.isValid() && start <= changed.addDays(1))
            return start;
    }
    return std::nullopt;
}

} // namespace

MiniSeedExport::MiniSeedExport(const MiniSeedOptions &options, double preAlarmSeconds)
    : options_(options), preAlarmSeconds_(preAlarmSeconds)
{
}

QString MiniSeedExport::outputPath(const QString &recordPath)
{
    const QFileInfo info(recordPath);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".mseed"));
}

MiniSeedExport::Result MiniSeedExport::exportFile(const QString &recordPath) const
{
    const QFileInfo info(recordPath);
    const QString name = info.fileName();
    auto failure = [&name](const QString &why) {
        return Result{{}, name + QLatin1Char(' ') + why, 0};
    };
    if (const QString problem = options_.problem(); !problem.isEmpty())
        return failure(QStringLiteral("not exported: vorsa.ini ") + problem);

    LiveFields historyFields;
    TraceCollector collector;
    RecordFileLoader loader(historyFields, collector);
    if (const QString problem = loader.load(recordPath, name); !problem.isEmpty())
        return Result{{}, problem, 0};
    if (const QString problem = recordProblem(recordPath, loader.layout(), collector);
        !problem.isEmpty())
        return failure(problem);
    const std::optional<QDateTime> start =
        firstSampleTime(info, loader.layout(), headerStart(loader), loader.firstRowSeconds());
    if (!start)
        return failure(QStringLiteral("carries no start time"));
    QString station;
    if (loader.layout() == RecordFileLoader::Layout::Event)
        station = stationCode(loader.stationCode());
    if (station.isEmpty())
        station = stationCode(options_.station);
    return write(recordPath, station, start->toUTC(), collector.traces);
}

QString MiniSeedExport::recordProblem(const QString &path, RecordFileLoader::Layout layout,
                                      const TraceCollector &collector)
{
    // An unknown layout has been told by the loader; what is left is an empty file.
    if (layout == RecordFileLoader::Layout::None)
        return QStringLiteral("holds no samples");
    const QString lastLine = completedLastLine(path);
    if (lastLine.isEmpty())
        return QStringLiteral("is cut short: its last line is incomplete");
    if (layout == RecordFileLoader::Layout::Manual && !lastLine.startsWith(QLatin1String("Min")))
        return QStringLiteral("is cut short: the recording's \"Min\" line is missing");
    // A row cut short leaves the traces of its missing values shorter than the others.
    const int traces = layout == RecordFileLoader::Layout::Event ? EventTraces : Axes;
    const size_t count = collector.traces[0].size();
    for (int k = 1; k < traces; ++k) {
        if (collector.traces[k].size() != count)
            return QStringLiteral("has rows with missing or unreadable values");
    }
    return count == 0 ? QStringLiteral("holds no samples") : QString();
}

std::optional<QDateTime> MiniSeedExport::firstSampleTime(const QFileInfo &info,
                                                         RecordFileLoader::Layout layout,
                                                         std::optional<QDateTime> start,
                                                         double firstRowSeconds) const
{
    if (layout == RecordFileLoader::Layout::Manual)
        return manualStart(info);
    // "#StartTime:" is the trigger; the window begins the pre-alarm time before it, and the
    // first row lies at its own time within the window (later when the window was cut).
    if (start && layout == RecordFileLoader::Layout::Event)
        return start->addMSecs(qRound64((firstRowSeconds - preAlarmSeconds_) * 1000));
    return start;
}

MiniSeedExport::Result MiniSeedExport::write(const QString &recordPath, const QString &station,
                                             const QDateTime &startUtc,
                                             const TraceCollector::Traces &traces) const
{
    const QString output = outputPath(recordPath);
    const QString name = QFileInfo(recordPath).fileName();
    QSaveFile file(output);
    bool written = file.open(QIODevice::WriteOnly);
    const MiniSeedPacking::RecordHandler toFile = [&file, &written](const char *record,
                                                                    int length) {
        if (file.write(record, length) != length)
            written = false;
    };
    const qint64 startMicros = startUtc.toMSecsSinceEpoch() * 1000;
    for (int axis = 0; written && axis < Axes; ++axis) {
        const MiniSeedPacking::TraceName traceName{options_.network, station, options_.location,
                                                   options_.channels[axis]};
        const std::vector<float> samples(traces[axis].begin(), traces[axis].end());
        written = MiniSeedPacking::packFloats(traceName, startMicros, SampleRate, samples,
                                              RecordLength, toFile) &&
                  written;
    }
    if (!written || !file.commit())
        return Result{{},
                      QStringLiteral("%1 not exported: cannot write %2: %3")
                          .arg(name, output, file.errorString()),
                      0};
    const qint64 samples = qint64(traces[0].size());
    const QString id =
        QStringList{
            options_.network, station, options_.location,
            QStringList(options_.channels.begin(), options_.channels.end()).join(QLatin1Char('/'))}
            .join(QLatin1Char('.'));
    return Result{output,
                  QStringLiteral("Wrote %1: %2, %3 samples per axis from %4 UTC")
                      .arg(output, id)
                      .arg(samples)
                      .arg(startUtc.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))),
                  samples};
}
