#include "ArchiveWriter.h"

#include "ArchiveRetention.h"
#include "RecordsLogging.h"
#include "common/Clock.h"
#include "common/MiniSeedPacking.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <cstdlib>

namespace
{

constexpr qint64 MicrosPerDay = qint64(86400) * 1000000;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

QDate dayOf(qint64 micros)
{
    return QDate(1970, 1, 1).addDays(floorDiv(micros, MicrosPerDay));
}

} // namespace

ArchiveWriter::ArchiveWriter(const QString &folder, const MiniSeedOptions &codes,
                             const Clock &clock, QObject *parent)
    : QObject(parent), folder_(folder), codes_(codes), clock_(clock),
      pending_(warning_, PendingCapacity)
{
    codes_.station = MiniSeedOptions::stationCode(codes_.station);
    flushTimer_.setInterval(FlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, &ArchiveWriter::flush);
}

qint32 ArchiveWriter::counts(double gal)
{
    return qint32(std::lround(gal / GalPerCount));
}

QString ArchiveWriter::dayFile(int axis, const QDate &dayUtc) const
{
    return MiniSeedPacking::sdsDayFile(
        folder_, {codes_.network, codes_.station, codes_.location, codes_.channels[size_t(axis)]},
        dayUtc);
}

void ArchiveWriter::takePacket(const DecodedPacket &packet)
{
    if (packet.samples.empty())
        return;
    if (packet.isStream())
        takeStream(packet);
    else if (packet.source == DecodedPacket::Source::TcpResponse)
        takeAnswer(packet.samples.front());
}

void ArchiveWriter::takeStream(const DecodedPacket &packet)
{
    answerRunArchived_ = false;
    answersInStep_.clear();
    const qint64 count = qint64(packet.samples.size());
    const qint64 lastArrived = clock_.msecsSinceEpoch() * 1000;
    qint64 start = lastArrived - (count - 1) * SampleMicros;
    const qint64 lag = start - nextSample_;
    if (continuing_ && lag < LateMicros && lag > -EarlyMicros) {
        start = nextSample_;
    } else {
        flush();
        beginSegment(start);
    }
    for (qint64 i = 0; i < count; ++i)
        append(start + i * SampleMicros, packet.samples[size_t(i)]);
    nextSample_ = start + count * SampleMicros;
    continuing_ = true;
}

void ArchiveWriter::takeAnswer(const DecodedPacket::Sample &sample)
{
    const qint64 now = clock_.msecsSinceEpoch() * 1000;
    const bool counting = answerRunArchived_ || !answersInStep_.empty();
    if (!counting || std::abs(now - answerSlot_) > AnswerSlackMicros) {
        answerRunArchived_ = false;
        answersInStep_.assign(1, sample);
        answerRunStart_ = now;
        answerSlot_ = now + SampleMicros;
        return;
    }
    const qint64 slot = answerSlot_;
    answerSlot_ += SampleMicros;
    if (answerRunArchived_) {
        append(slot, sample);
        return;
    }
    answersInStep_.push_back(sample);
    if (int(answersInStep_.size()) < AnswersInStep)
        return;
    // In step long enough: the run begins with the answers that showed it.
    flush();
    beginSegment(answerRunStart_);
    for (size_t i = 0; i < answersInStep_.size(); ++i)
        append(answerRunStart_ + qint64(i) * SampleMicros, answersInStep_[i]);
    answersInStep_.clear();
    answerRunArchived_ = true;
    continuing_ = false; // a stream that follows starts a run of its own
}

void ArchiveWriter::append(qint64 sampleMicros, const DecodedPacket::Sample &sample)
{
    if (sampleMicros >= dayEnd_) {
        flush();
        beginSegment(sampleMicros);
    }
    waiting_[0].push_back(counts(sample.a));
    waiting_[1].push_back(counts(sample.b));
    waiting_[2].push_back(counts(sample.c));
}

void ArchiveWriter::beginSegment(qint64 startMicros)
{
    segmentStart_ = startMicros;
    dayEnd_ = (floorDiv(startMicros, MicrosPerDay) + 1) * MicrosPerDay;
}

void ArchiveWriter::flush()
{
    // A folder that could not be made when its records were put aside is tried again.
    if (!pending_.isEmpty()) {
        for (const QString &path : pending_.waitingFiles())
            QDir().mkpath(QFileInfo(path).path());
        pending_.retry();
    }
    const qint64 count = qint64(waiting_[0].size());
    if (count == 0)
        return;
    const QDate day = dayOf(segmentStart_);
    for (int axis = 0; axis < Axes; ++axis) {
        const QString path = dayFile(axis, day);
        const MiniSeedPacking::TraceName name{codes_.network, codes_.station, codes_.location,
                                              codes_.channels[size_t(axis)]};
        QByteArray records;
        const bool packed = MiniSeedPacking::packSteim2(
            name, segmentStart_, SamplesPerSecond, waiting_[size_t(axis)], RecordLength,
            [&records](const char *record, int length) { records.append(record, length); });
        waiting_[size_t(axis)].clear();
        if (!packed) {
            qCWarning(lcRecords).noquote() << "archive: cannot pack samples for" << path;
            continue;
        }
        QDir().mkpath(QFileInfo(path).path());
        if (!QFileInfo::exists(path))
            flushesSinceLimitCheck_ = FlushesBetweenLimitChecks; // a new day: check now
        pending_.append({path}, records);
    }
    segmentStart_ += count * SampleMicros;
    if (++flushesSinceLimitCheck_ >= FlushesBetweenLimitChecks)
        applyLimits();
}

void ArchiveWriter::setLimits(int days, qint64 maxBytes)
{
    limitDays_ = days;
    limitBytes_ = maxBytes;
}

QStringList ArchiveWriter::applyLimits()
{
    flushesSinceLimitCheck_ = 0;
    if (limitDays_ <= 0 && limitBytes_ <= 0)
        return {};
    return ArchiveRetention::apply(folder_, limitDays_, limitBytes_, clock_.now().toUTC().date());
}
