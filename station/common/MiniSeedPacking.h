#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

// Packing samples into miniSEED records with libmseed, shared by the event export (floats in
// gal) and the continuous archive (Steim-2 integer counts), so both name and time their
// traces alike.
namespace MiniSeedPacking
{

struct TraceName {
    QString network, station, location, channel;
};

// Receives each record as it is packed.
using RecordHandler = std::function<void(const char *record, int length)>;

// Packs every sample, the last record filled only partly. `startMicros`: the first sample's
// time in microseconds since 1970 UTC. False when libmseed packed fewer samples than given.
bool packFloats(const TraceName &name, qint64 startMicros, double sampleRate,
                const std::vector<float> &samples, int recordLength, const RecordHandler &handler);
bool packSteim2(const TraceName &name, qint64 startMicros, double sampleRate,
                const std::vector<qint32> &samples, int recordLength, const RecordHandler &handler);

// How the continuous archive stores samples: Steim-2 integer counts of the device's own
// resolution (so it keeps exactly what the device measured), 100 per second, in records small
// enough that one closed every 10 s wastes little.
namespace Archive
{
constexpr double GalPerCount = 0.0598;
constexpr int SamplesPerSecond = 100;
constexpr qint64 SampleMicros = 1000000 / SamplesPerSecond;
constexpr int RecordLength = 512;
} // namespace Archive

// The day file of a trace in the SDS layout that SeisComP, ObsPy and slarchive read:
// <root>/<year>/<net>/<sta>/<cha>.D/<net>.<sta>.<loc>.<cha>.D.<year>.<day of year>.
QString sdsDayFile(const QString &root, const TraceName &name, const QDate &dayUtc);

} // namespace MiniSeedPacking
