#pragma once

#include "common/MiniSeedOptions.h"

#include <QString>
#include <QStringList>
#include <vector>

// Reads a stretch of one channel back from the continuous archive's day files: the samples
// (device counts) in runs without a gap, each with the time of its first sample.
class ArchiveReader
{
public:
    struct Segment {
        qint64 startMicros = 0; // since 1970 UTC
        std::vector<qint32> counts;
        qint64 endMicros() const;
    };

    ArchiveReader(const QString &folder, const MiniSeedOptions &codes);

    // The samples at or after `startMicros` and before `endMicros`, oldest first. A day file
    // that is missing adds nothing; one that libmseed cannot read is named in `problems`.
    std::vector<Segment> read(const QString &channel, qint64 startMicros, qint64 endMicros,
                              QStringList *problems = nullptr) const;

private:
    void readDay(const QString &path, qint64 startMicros, qint64 endMicros,
                 std::vector<Segment> &segments, QStringList *problems) const;

    QString folder_;
    MiniSeedOptions codes_;
};
