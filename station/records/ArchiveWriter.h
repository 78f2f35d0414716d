#pragma once

#include "PendingWrites.h"
#include "common/Control.h"
#include "common/DecodedPacket.h"
#include "common/MiniSeedOptions.h"
#include "common/MiniSeedPacking.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <array>
#include <vector>

class Clock;

// The continuous archive: every streamed sample of a, b and c goes to miniSEED day files in
// the SDS layout, as MiniSeedPacking::Archive describes. Samples wait in memory until the
// flush tick (every 10 s), which closes their records and appends them whole, so a crash
// loses at most that much. The stream carries no time of its own: a packet's last sample is
// taken to have arrived now, and the packets after it follow on at 10 ms a sample while they
// keep arriving in step; one that arrives too late for that (packets lost, the link down) or
// far too early (the PC's clock set back) starts a new run at its arrival, so the time
// between stays a gap. A run never crosses 00:00:00 UTC. Appends that fail wait and are
// tried again while `warning` stands visible.
//
// A poll answer on the client link carries one sample, the device's newest at the time it
// answered, and no time of its own either. Answers are archived only while the poll keeps the
// device's pace: each takes the 10 ms slot after the one before, and one that arrives further
// than `AnswerSlackMicros` from its slot (the poll slower than the device, an answer lost, the
// link down) ends the run. A run begins only once `AnswersInStep` answers in a row have kept
// to their slots, so a poll that cannot keep up, and a lone read beside the stream, archive
// nothing rather than samples at times they were not taken.
class ArchiveWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlushIntervalMs = 10000;
    static constexpr double GalPerCount = MiniSeedPacking::Archive::GalPerCount;
    static constexpr int RecordLength = MiniSeedPacking::Archive::RecordLength;
    static constexpr int SamplesPerSecond = MiniSeedPacking::Archive::SamplesPerSecond;
    static constexpr qint64 SampleMicros = MiniSeedPacking::Archive::SampleMicros;
    static constexpr int Axes = 3;
    // How much later than the run's own time a packet may arrive and still continue it: less
    // than one packet, so a lost packet is a gap. How much earlier: a backlog drained at once,
    // or a device clock running a little fast.
    static constexpr qint64 LateMicros = 900000;
    static constexpr qint64 EarlyMicros = 3000000;
    // Bytes kept in memory while the disk refuses them: several hours of the three channels.
    static constexpr qint64 PendingCapacity = 16 * 1024 * 1024;
    static constexpr int FlushesBetweenLimitChecks = 360;
    static constexpr qint64 AnswerSlackMicros = 15000;
    static constexpr int AnswersInStep = 100;

    ArchiveWriter(const QString &folder, const MiniSeedOptions &codes, const Clock &clock,
                  QObject *parent = nullptr);

    // A stream packet or a poll answer on the client link, as it arrives.
    void takePacket(const DecodedPacket &packet);
    // Packs what waits in memory and appends it; the flush timer's tick.
    void flush();
    // The bounds of the archive (0: none), kept at start, at each new day file and hourly.
    void setLimits(int days, qint64 maxBytes);
    QStringList applyLimits();

    QString folder() const { return folder_; }
    QString dayFile(int axis, const QDate &dayUtc) const;
    QTimer &flushTimer() { return flushTimer_; }
    PendingWrites &pendingWrites() { return pending_; }
    Control &warning() { return warning_; }

    static qint32 counts(double gal);

private:
    void takeStream(const DecodedPacket &packet);
    void takeAnswer(const DecodedPacket::Sample &sample);
    void append(qint64 sampleMicros, const DecodedPacket::Sample &sample);
    void beginSegment(qint64 startMicros);

    QString folder_;
    MiniSeedOptions codes_;
    const Clock &clock_;
    Control warning_;
    PendingWrites pending_;
    QTimer flushTimer_;
    qint64 segmentStart_ = 0; // time of the first sample waiting in `waiting_`
    qint64 dayEnd_ = 0;       // the midnight UTC after segmentStart_
    qint64 nextSample_ = 0;   // where the next packet continues the run
    bool continuing_ = false;
    std::array<std::vector<qint32>, Axes> waiting_;
    // Poll answers: those in step so far that wait for the run to begin, where the run of
    // answers began and the slot the next answer is due in.
    std::vector<DecodedPacket::Sample> answersInStep_;
    bool answerRunArchived_ = false;
    qint64 answerRunStart_ = 0;
    qint64 answerSlot_ = 0;
    int limitDays_ = 0;
    qint64 limitBytes_ = 0;
    int flushesSinceLimitCheck_ = 0;
};
