#include "ArchiveReader.h"

#include "common/MiniSeedPacking.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <libmseed.h>

namespace
{

constexpr qint64 MicrosPerDay = qint64(86400) * 1000000;
constexpr qint64 SampleMicros = MiniSeedPacking::Archive::SampleMicros;

qint64 dayNumber(qint64 micros)
{
    return micros / MicrosPerDay - (micros % MicrosPerDay < 0 ? 1 : 0);
}

// The part of a run within [start, end), if any.
void keepWithin(ArchiveReader::Segment run, qint64 start, qint64 end,
                std::vector<ArchiveReader::Segment> &segments)
{
    const qint64 size = qint64(run.counts.size());
    const qint64 skip =
        std::clamp<qint64>((start - run.startMicros + SampleMicros - 1) / SampleMicros, 0, size);
    const qint64 keep =
        std::clamp<qint64>((end - run.startMicros + SampleMicros - 1) / SampleMicros, skip, size);
    if (keep == skip)
        return;
    run.counts.resize(size_t(keep));
    run.counts.erase(run.counts.begin(), run.counts.begin() + skip);
    run.startMicros += skip * SampleMicros;
    segments.push_back(std::move(run));
}

} // namespace

qint64 ArchiveReader::Segment::endMicros() const
{
    return startMicros + qint64(counts.size()) * SampleMicros;
}

ArchiveReader::ArchiveReader(const QString &folder, const MiniSeedOptions &codes)
    : folder_(folder), codes_(codes)
{
    codes_.station = MiniSeedOptions::stationCode(codes_.station);
}

std::vector<ArchiveReader::Segment> ArchiveReader::read(const QString &channel, qint64 startMicros,
                                                        qint64 endMicros,
                                                        QStringList *problems) const
{
    std::vector<Segment> pieces;
    if (endMicros <= startMicros)
        return pieces;
    const MiniSeedPacking::TraceName name{codes_.network, codes_.station, codes_.location, channel};
    for (qint64 day = dayNumber(startMicros); day <= dayNumber(endMicros - 1); ++day) {
        const QString path =
            MiniSeedPacking::sdsDayFile(folder_, name, QDate(1970, 1, 1).addDays(day));
        if (QFileInfo::exists(path))
            readDay(path, startMicros, endMicros, pieces, problems);
    }
    std::stable_sort(pieces.begin(), pieces.end(), [](const Segment &x, const Segment &y) {
        return x.startMicros < y.startMicros;
    });
    // Runs that meet (across a day boundary or a flush) join; a gap or overlap keeps them apart.
    std::vector<Segment> joined;
    for (Segment &piece : pieces) {
        if (!joined.empty() &&
            std::abs(piece.startMicros - joined.back().endMicros()) < SampleMicros / 2) {
            auto &counts = joined.back().counts;
            counts.insert(counts.end(), piece.counts.begin(), piece.counts.end());
        } else {
            joined.push_back(std::move(piece));
        }
    }
    return joined;
}

// Record by record, appending each to the run it continues, so a day of samples is copied
// once; only the records within the stretch are decompressed.
void ArchiveReader::readDay(const QString &path, qint64 startMicros, qint64 endMicros,
                            std::vector<Segment> &segments, QStringList *problems) const
{
    const QByteArray name = QFile::encodeName(path);
    MSRecord *record = nullptr;
    std::vector<Segment> runs;
    int status;
    while ((status = ms_readmsr(&record, name.constData(), 0, nullptr, nullptr, 1, 0, 0)) ==
           MS_NOERROR) {
        const qint64 start = qint64(record->starttime);
        const qint64 end = start + qint64(record->samplecnt) * SampleMicros;
        if (record->samplecnt <= 0 || end <= startMicros || start >= endMicros)
            continue;
        const flag bigEndian = record->Blkt1000 ? flag(record->Blkt1000->byteorder) : 1;
        const qint64 count = msr_unpack_data(record, bigEndian != ms_bigendianhost(), 0);
        if (count <= 0 || record->sampletype != 'i') {
            if (problems)
                *problems << QStringLiteral("%1: a record at %2 holds no integer samples")
                                 .arg(path)
                                 .arg(start);
            continue;
        }
        const auto *data = static_cast<const qint32 *>(record->datasamples);
        if (runs.empty() || std::abs(start - runs.back().endMicros()) >= SampleMicros / 2)
            runs.push_back(Segment{start, {}});
        runs.back().counts.insert(runs.back().counts.end(), data, data + count);
    }
    if (status != MS_ENDOFFILE && problems)
        *problems << QStringLiteral("%1: %2").arg(path, QString::fromLatin1(ms_errorstr(status)));
    ms_readmsr(&record, nullptr, 0, nullptr, nullptr, 0, 0, 0); // closes the file
    for (Segment &run : runs)
        keepWithin(std::move(run), startMicros, endMicros, segments);
}
