#pragma once

#include "common/DecodedPacket.h"
#include "records/ArchiveWriter.h"

#include <QDateTime>
#include <vector>

// Samples whose values tell where they came from, for archive tests that read them back.
namespace ArchiveSamples
{

inline const QDateTime Midnight(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);

// One stream packet whose sample k of axis a is `first + k` counts (b and c offset by 1000 and
// 2000).
inline DecodedPacket packet(int first, int samples = ArchiveWriter::SamplesPerSecond)
{
    DecodedPacket p;
    for (int k = 0; k < samples; ++k) {
        const int value = first + k;
        p.samples.push_back({value * ArchiveWriter::GalPerCount,
                             (value + 1000) * ArchiveWriter::GalPerCount,
                             (value + 2000) * ArchiveWriter::GalPerCount, 0, 0});
    }
    return p;
}

// The counts `first`, `first + 1`, ... of `count` samples.
inline std::vector<qint32> run(qint32 first, int count)
{
    std::vector<qint32> values;
    for (int k = 0; k < count; ++k)
        values.push_back(first + k);
    return values;
}

inline qint64 micros(const QDateTime &t)
{
    return t.toMSecsSinceEpoch() * 1000;
}

} // namespace ArchiveSamples
