#include "MiniSeedPacking.h"

#include <QStringList>
#include <cstdlib>
#include <cstring>
#include <libmseed.h>
#include <memory>

namespace
{

struct MsTraceDeleter {
    void operator()(MSTrace *trace) const { mst_free(&trace); }
};

void copyCode(char (&target)[11], const QString &code)
{
    qstrncpy(target, code.toLatin1().constData(), sizeof target);
}

void handRecord(char *record, int length, void *data)
{
    (*static_cast<const MiniSeedPacking::RecordHandler *>(data))(record, length);
}

template <typename Sample>
bool pack(const MiniSeedPacking::TraceName &name, qint64 startMicros, double sampleRate,
          const std::vector<Sample> &samples, char sampleType, flag encoding, int recordLength,
          const MiniSeedPacking::RecordHandler &handler)
{
    if (samples.empty())
        return true;
    std::unique_ptr<MSTrace, MsTraceDeleter> trace(mst_init(nullptr));
    copyCode(trace->network, name.network);
    copyCode(trace->station, name.station);
    copyCode(trace->location, name.location);
    copyCode(trace->channel, name.channel);
    trace->dataquality = 'D';
    trace->starttime = hptime_t(startMicros); // libmseed's ticks are microseconds
    trace->samprate = sampleRate;
    const size_t bytes = samples.size() * sizeof(Sample);
    void *data = malloc(bytes);
    if (!data)
        return false;
    memcpy(data, samples.data(), bytes);
    trace->datasamples = data; // freed with the trace
    trace->numsamples = trace->samplecnt = qint64(samples.size());
    trace->sampletype = sampleType;
    int64_t packed = 0;
    auto *context = const_cast<MiniSeedPacking::RecordHandler *>(&handler);
    const int records = mst_pack(trace.get(), handRecord, context, recordLength, encoding, 1,
                                 &packed, 1, 0, nullptr);
    return records > 0 && packed == qint64(samples.size());
}

} // namespace

bool MiniSeedPacking::packFloats(const TraceName &name, qint64 startMicros, double sampleRate,
                                 const std::vector<float> &samples, int recordLength,
                                 const RecordHandler &handler)
{
    return pack(name, startMicros, sampleRate, samples, 'f', DE_FLOAT32, recordLength, handler);
}

bool MiniSeedPacking::packSteim2(const TraceName &name, qint64 startMicros, double sampleRate,
                                 const std::vector<qint32> &samples, int recordLength,
                                 const RecordHandler &handler)
{
    return pack(name, startMicros, sampleRate, samples, 'i', DE_STEIM2, recordLength, handler);
}

QString MiniSeedPacking::sdsDayFile(const QString &root, const TraceName &name, const QDate &dayUtc)
{
    const QString year = QString::number(dayUtc.year());
    const QString file =
        QStringList{name.network,
                    name.station,
                    name.location,
                    name.channel,
                    QStringLiteral("D"),
                    year,
                    QStringLiteral("%1").arg(dayUtc.dayOfYear(), 3, 10, QLatin1Char('0'))}
            .join(QLatin1Char('.'));
    return QStringList{root, year, name.network, name.station, name.channel + QStringLiteral(".D"),
                       file}
        .join(QLatin1Char('/'));
}
