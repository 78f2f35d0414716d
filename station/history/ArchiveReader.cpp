#include "ArchiveReader.h"

#include "common/MiniSeedPacking.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>
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
    scan(
        channel, startMicros, endMicros,
        [&pieces](qint64 first, const qint32 *counts, qint64 count) {
            if (pieces.empty() || std::abs(first - pieces.back().endMicros()) >= SampleMicros / 2)
                pieces.push_back(Segment{first, {}});
            pieces.back().counts.insert(pieces.back().counts.end(), counts, counts + count);
        },
        problems);
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

void ArchiveReader::scan(const QString &channel, qint64 startMicros, qint64 endMicros,
                         const RecordVisitor &take, QStringList *problems) const
{
    if (endMicros <= startMicros)
        return;
    const MiniSeedPacking::TraceName name{codes_.network, codes_.station, codes_.location, channel};
    for (qint64 day = dayNumber(startMicros); day <= dayNumber(endMicros - 1); ++day) {
        const QString path =
            MiniSeedPacking::sdsDayFile(folder_, name, QDate(1970, 1, 1).addDays(day));
        if (QFileInfo::exists(path))
            scanDay(path, startMicros, endMicros, take, problems);
    }
}

// The day file is mapped, not read: its headers are parsed in place and only the records
// within the stretch are decompressed, so reading on from the end of a growing file costs
// little. A record still being appended at the end is left for the next read.
void ArchiveReader::scanDay(const QString &path, qint64 startMicros, qint64 endMicros,
                            const RecordVisitor &take, QStringList *problems) const
{
    QFile file(path);
    const qint64 size = file.size();
    uchar *mapped = size > 0 && file.open(QIODevice::ReadOnly)
                        ? file.map(0, size, QFileDevice::MapPrivateOption)
                        : nullptr;
    if (!mapped) {
        if (problems && size > 0)
            *problems << QStringLiteral("%1: %2").arg(path, file.errorString());
        return;
    }
    auto *bytes = reinterpret_cast<char *>(mapped);
    MSRecord *record = nullptr;
    qint64 offset = 0;
    while (offset < size) {
        const int status =
            msr_parse(bytes + offset, int(qMin<qint64>(size - offset, INT_MAX)), &record, 0, 0, 0);
        if (status > 0)
            break;
        if (status < 0) {
            if (problems)
                *problems << QStringLiteral("%1: %2 at byte %3")
                                 .arg(path, QString::fromLatin1(ms_errorstr(status)))
                                 .arg(offset);
            break;
        }
        offset += record->reclen;
        const qint64 first = qint64(record->starttime);
        const qint64 samples = record->samplecnt;
        const qint64 skip =
            std::clamp<qint64>((startMicros - first + SampleMicros - 1) / SampleMicros, 0, samples);
        const qint64 keep = std::clamp<qint64>(
            (endMicros - first + SampleMicros - 1) / SampleMicros, skip, samples);
        if (keep == skip)
            continue;
        const flag bigEndian = record->Blkt1000 ? flag(record->Blkt1000->byteorder) : 1;
        const qint64 count = msr_unpack_data(record, bigEndian != ms_bigendianhost(), 0);
        if (count < keep || record->sampletype != 'i') {
            if (problems)
                *problems << QStringLiteral("%1: a record at %2 holds no integer samples")
                                 .arg(path)
                                 .arg(first);
            continue;
        }
        take(first + skip * SampleMicros, static_cast<const qint32 *>(record->datasamples) + skip,
             keep - skip);
    }
    msr_free(&record);
}
