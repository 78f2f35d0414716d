#include "ArchiveExtract.h"

#include "common/MiniSeedPacking.h"
#include "common/NumberText.h"
#include "common/TextFiles.h"

#include <QDir>
#include <QSaveFile>
#include <array>

namespace
{

constexpr int Axes = 3;
constexpr qint64 MicrosPerSecond = 1000000;
constexpr qint64 SampleMicros = MiniSeedPacking::Archive::SampleMicros;

qint64 micros(const QDateTime &t)
{
    return t.toMSecsSinceEpoch() * 1000;
}

// The value the station decoded from the same device word, so a file cut from the archive
// reads like one recorded live.
float gal(qint32 counts)
{
    return float(double(qint64(counts) * 598) / 10000.0);
}

QString extremesLine(const char *label, const std::array<float, Axes> &values)
{
    QString line = QLatin1String(label);
    for (float v : values)
        line += QStringLiteral(", ") + NumberText::fixed(v, 4);
    return line;
}

QString span(const QDateTime &start, const QDateTime &end)
{
    return NumberText::generalDateTime(start) + QStringLiteral(" - ") +
           NumberText::generalDateTime(end);
}

} // namespace

ArchiveExtract::ArchiveExtract(const QString &archiveFolder, const MiniSeedOptions &codes)
    : codes_(codes), reader_(archiveFolder, codes)
{
}

ArchiveExtract::Result ArchiveExtract::writeRecordFile(const QDateTime &start, const QDateTime &end,
                                                       const QString &folder) const
{
    const qint64 from = (micros(start) + MicrosPerSecond - 1) / MicrosPerSecond * MicrosPerSecond;
    std::array<std::vector<ArchiveReader::Segment>, Axes> traces;
    for (int axis = 0; axis < Axes; ++axis)
        traces[size_t(axis)] = reader_.read(codes_.channels[size_t(axis)], from, micros(end));
    if (traces[0].empty())
        return {{}, QStringLiteral("The archive holds no samples from %1").arg(span(start, end))};
    // Rows begin at a whole second, the resolution of the file's name.
    qint64 first = traces[0].front().startMicros;
    first = (first + MicrosPerSecond - 1) / MicrosPerSecond * MicrosPerSecond;
    const QDateTime firstTime = QDateTime::fromMSecsSinceEpoch(first / 1000).toLocalTime();
    const QString name = QLatin1Char('M') + firstTime.toString(QStringLiteral("MMddHHmmss")) +
                         QStringLiteral(".csv");

    // b and c were written with a, sample for sample; a row needs all three.
    auto valueAt = [&traces](int axis, qint64 t, qint32 *value) {
        for (const ArchiveReader::Segment &s : traces[size_t(axis)]) {
            if (t >= s.startMicros && t < s.endMicros()) {
                *value = s.counts[size_t((t - s.startMicros) / SampleMicros)];
                return true;
            }
        }
        return false;
    };
    QByteArray out = QByteArrayLiteral("Time,a,b,c") + TextFiles::LineEnd;
    std::array<float, Axes> max{-999, -999, -999}, min{999, 999, 999};
    qint64 rows = 0;
    for (const ArchiveReader::Segment &segment : traces[0]) {
        for (size_t k = 0; k < segment.counts.size(); ++k) {
            const qint64 t = segment.startMicros + qint64(k) * SampleMicros;
            std::array<qint32, Axes> counts{segment.counts[k], 0, 0};
            if (t < first || !valueAt(1, t, &counts[1]) || !valueAt(2, t, &counts[2]))
                continue;
            QString row = NumberText::doubleText(double((t - first) / SampleMicros) * 0.01);
            for (int axis = 0; axis < Axes; ++axis) {
                const float v = gal(counts[size_t(axis)]);
                row += QLatin1Char(',') + NumberText::singleText(v);
                max[size_t(axis)] = qMax(max[size_t(axis)], v);
                min[size_t(axis)] = qMin(min[size_t(axis)], v);
            }
            out += row.toUtf8() + TextFiles::LineEnd;
            ++rows;
        }
    }
    out += extremesLine("Max", max).toUtf8() + TextFiles::LineEnd;
    out += extremesLine("Min", min).toUtf8() + TextFiles::LineEnd;
    const QString path = QDir(folder).filePath(name);
    QString error;
    if (!TextFiles::replace(path, out, &error))
        return {{}, QStringLiteral("Cannot write %1: %2").arg(path, error)};
    const QString gaps =
        traces[0].size() > 1 ? QStringLiteral(", %1 gaps").arg(traces[0].size() - 1) : QString();
    return {path, QStringLiteral("Wrote %1: %2 rows from %3%4")
                      .arg(path)
                      .arg(rows)
                      .arg(NumberText::generalDateTime(firstTime), gaps)};
}

ArchiveExtract::Result ArchiveExtract::writeMiniSeed(const QDateTime &start, const QDateTime &end,
                                                     QStringList channels,
                                                     const QString &path) const
{
    if (channels.isEmpty())
        channels = QStringList(codes_.channels.begin(), codes_.channels.end());
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    const MiniSeedPacking::RecordHandler toFile = [&file, &written](const char *record,
                                                                    int length) {
        if (file.write(record, length) != length)
            written = false;
    };
    qint64 samples = 0;
    for (const QString &channel : channels) {
        const MiniSeedPacking::TraceName name{
            codes_.network, MiniSeedOptions::stationCode(codes_.station), codes_.location, channel};
        for (const ArchiveReader::Segment &s : reader_.read(channel, micros(start), micros(end))) {
            written =
                written && MiniSeedPacking::packSteim2(
                               name, s.startMicros, MiniSeedPacking::Archive::SamplesPerSecond,
                               s.counts, MiniSeedPacking::Archive::RecordLength, toFile);
            samples += qint64(s.counts.size());
        }
    }
    if (samples == 0) {
        file.cancelWriting();
        return {{},
                QStringLiteral("The archive holds no samples of %1 from %2")
                    .arg(channels.join(QLatin1Char('/')), span(start, end))};
    }
    if (!written || !file.commit())
        return {{}, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString())};
    return {path, QStringLiteral("Wrote %1: %2 samples of %3")
                      .arg(path)
                      .arg(samples)
                      .arg(channels.join(QLatin1Char('/')))};
}
