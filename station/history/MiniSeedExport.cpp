#include "MiniSeedExport.h"

#include "common/Form.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <libmseed.h>
#include <memory>

namespace
{

const QString Group = QStringLiteral("miniseed/");
const char *const ChannelKeys[] = {"channelA", "channelB", "channelC"};
constexpr int DateField = 208;
constexpr int TimeField = 209;
constexpr int StationCodeField = 227;
constexpr int Axes = 3;
constexpr int EventTraces = 5; // a, b, c, Pd, displacement: a cut row leaves any of them short

bool isSeedCode(const QString &code, int minLength, int maxLength)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Z0-9]*$"));
    return code.size() >= minLength && code.size() <= maxLength && allowed.match(code).hasMatch();
}

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

std::optional<QDateTime> historyDateTime(const Form &form)
{
    const QDateTime when = QDateTime::fromString(form.txtReal.text(DateField) + QLatin1Char(' ') +
                                                     form.txtReal.text(TimeField),
                                                 QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    return when.isValid() ? std::optional(when) : std::nullopt;
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

struct MsTraceDeleter {
    void operator()(MSTrace *trace) const { mst_free(&trace); }
};

struct RecordSink {
    QSaveFile &file;
    bool failed = false;
};

void writeRecord(char *record, int length, void *data)
{
    auto *sink = static_cast<RecordSink *>(data);
    if (sink->file.write(record, length) != length)
        sink->failed = true;
}

void copyCode(char (&target)[11], const QString &code)
{
    qstrncpy(target, code.toLatin1().constData(), sizeof target);
}

struct TraceName {
    QString network, station, location, channel;
};

bool packTrace(RecordSink &sink, const TraceName &name, hptime_t start,
               const std::vector<double> &samples)
{
    std::unique_ptr<MSTrace, MsTraceDeleter> trace(mst_init(nullptr));
    copyCode(trace->network, name.network);
    copyCode(trace->station, name.station);
    copyCode(trace->location, name.location);
    copyCode(trace->channel, name.channel);
    trace->dataquality = 'D';
    trace->starttime = start;
    trace->samprate = MiniSeedExport::SampleRate;
    auto *data = static_cast<float *>(malloc(samples.size() * sizeof(float)));
    if (!data)
        return false;
    for (size_t i = 0; i < samples.size(); ++i)
        data[i] = float(samples[i]);
    trace->datasamples = data; // freed with the trace
    trace->numsamples = trace->samplecnt = qint64(samples.size());
    trace->sampletype = 'f';
    int64_t packed = 0;
    const int records = mst_pack(trace.get(), writeRecord, &sink, MiniSeedExport::RecordLength,
                                 DE_FLOAT32, 1, &packed, 1, 0, nullptr);
    return records > 0 && packed == qint64(samples.size()) && !sink.failed;
}

} // namespace

MiniSeedOptions MiniSeedOptions::read(const QSettings &settings)
{
    MiniSeedOptions options;
    auto code = [&settings](const char *key, const QString &fallback) {
        return settings.value(Group + QLatin1String(key), fallback).toString().trimmed().toUpper();
    };
    options.network = code("network", options.network);
    options.location = code("location", options.location);
    for (int axis = 0; axis < Axes; ++axis)
        options.channels[axis] = code(ChannelKeys[axis], options.channels[axis]);
    options.station = code("station", options.station);
    options.exportEventFiles =
        settings.value(Group + QStringLiteral("exportEventFiles"), false).toBool();
    return options;
}

void MiniSeedOptions::addMissingKeys(QSettings &settings)
{
    const MiniSeedOptions defaults;
    auto add = [&settings](const char *key, const QVariant &value) {
        if (!settings.contains(Group + QLatin1String(key)))
            settings.setValue(Group + QLatin1String(key), value);
    };
    add("network", defaults.network);
    add("location", defaults.location);
    for (int axis = 0; axis < Axes; ++axis)
        add(ChannelKeys[axis], defaults.channels[axis]);
    add("station", defaults.station);
    add("exportEventFiles", defaults.exportEventFiles);
}

QString MiniSeedOptions::problem() const
{
    if (!isSeedCode(network, 1, 2))
        return QStringLiteral("network code \"%1\" is not 1 or 2 letters or digits").arg(network);
    if (!isSeedCode(location, 0, 2))
        return QStringLiteral("location code \"%1\" is not up to 2 letters or digits")
            .arg(location);
    for (const QString &channel : channels) {
        if (!isSeedCode(channel, 3, 3))
            return QStringLiteral("channel code \"%1\" is not 3 letters or digits").arg(channel);
    }
    if (MiniSeedExport::stationCode(station).isEmpty())
        return QStringLiteral("station code \"%1\" holds no letter or digit").arg(station);
    return {};
}

MiniSeedExport::MiniSeedExport(const MiniSeedOptions &options, double preAlarmSeconds)
    : options_(options), preAlarmSeconds_(preAlarmSeconds)
{
}

QString MiniSeedExport::outputPath(const QString &recordPath)
{
    const QFileInfo info(recordPath);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".mseed"));
}

QString MiniSeedExport::stationCode(const QString &text)
{
    QString code;
    for (QChar ch : text.toUpper()) {
        if ((ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
            (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')))
            code += ch;
    }
    return code.right(5);
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

    Form form;
    TraceCollector collector;
    RecordFileLoader loader(form, collector);
    if (const QString problem = loader.load(recordPath, name); !problem.isEmpty())
        return Result{{}, problem, 0};
    if (const QString problem = recordProblem(recordPath, loader.layout(), collector);
        !problem.isEmpty())
        return failure(problem);
    const std::optional<QDateTime> start = firstSampleTime(info, loader.layout(), form);
    if (!start)
        return failure(QStringLiteral("carries no start time"));
    QString station;
    if (loader.layout() == RecordFileLoader::Layout::Event)
        station = stationCode(form.txtReal.text(StationCodeField));
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
                                                         const Form &form) const
{
    if (layout == RecordFileLoader::Layout::Manual)
        return manualStart(info);
    const std::optional<QDateTime> start = historyDateTime(form);
    // "#StartTime:" is the trigger; the rows begin the pre-alarm time before it.
    if (start && layout == RecordFileLoader::Layout::Event)
        return start->addMSecs(qRound64(-preAlarmSeconds_ * 1000));
    return start;
}

MiniSeedExport::Result MiniSeedExport::write(const QString &recordPath, const QString &station,
                                             const QDateTime &startUtc,
                                             const TraceCollector::Traces &traces) const
{
    const QString output = outputPath(recordPath);
    const QString name = QFileInfo(recordPath).fileName();
    QSaveFile file(output);
    RecordSink sink{file};
    bool written = file.open(QIODevice::WriteOnly);
    const hptime_t start = hptime_t(startUtc.toMSecsSinceEpoch()) * 1000;
    for (int axis = 0; written && axis < Axes; ++axis) {
        const TraceName traceName{options_.network, station, options_.location,
                                  options_.channels[axis]};
        written = packTrace(sink, traceName, start, traces[axis]);
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
