#pragma once

#include "common/MiniSeedOptions.h"

#include <QString>
#include <QStringList>
#include <functional>
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

    // The same samples record by record, in the order the day files hold them, handed over
    // while each record's samples are at hand instead of collected: `counts` holds `count`
    // samples 10 ms apart from `firstMicros`.
    using RecordVisitor =
        std::function<void(qint64 firstMicros, const qint32 *counts, qint64 count)>;
    void scan(const QString &channel, qint64 startMicros, qint64 endMicros,
              const RecordVisitor &take, QStringList *problems = nullptr) const;

private:
    void scanDay(const QString &path, qint64 startMicros, qint64 endMicros,
                 const RecordVisitor &take, QStringList *problems) const;

    QString folder_;
    MiniSeedOptions codes_;
};
