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

// Samples of a run from `firstMicros` on, cut to [start, end).
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
    ArchiveReader::Segment cut{
        run.startMicros + skip * SampleMicros,
        std::vector<qint32>(run.counts.begin() + skip, run.counts.begin() + keep)};
    segments.push_back(std::move(cut));
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

void ArchiveReader::readDay(const QString &path, qint64 startMicros, qint64 endMicros,
                            std::vector<Segment> &segments, QStringList *problems) const
{
    MSTraceGroup *group = nullptr;
    const QByteArray name = QFile::encodeName(path);
    const int status = ms_readtraces(&group, name.constData(), 0, -1.0, -1.0, 0, 1, 1, 0);
    if (status != MS_NOERROR && problems)
        *problems << QStringLiteral("%1: %2").arg(path, QString::fromLatin1(ms_errorstr(status)));
    if (!group)
        return;
    for (MSTrace *trace = group->traces; trace; trace = trace->next) {
        if (trace->sampletype != 'i' || trace->numsamples <= 0)
            continue;
        const auto *data = static_cast<const qint32 *>(trace->datasamples);
        keepWithin(
            Segment{qint64(trace->starttime), std::vector<qint32>(data, data + trace->numsamples)},
            startMicros, endMicros, segments);
    }
    mst_freegroup(&group);
}
