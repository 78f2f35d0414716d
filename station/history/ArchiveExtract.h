#pragma once

#include "ArchiveReader.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// A stretch of the continuous archive written out, for scripts (`--archive-extract`) and for
// the history chart: as a record file in the manual recording's layout (Time,a,b,c, named
// "M" + its local start MMddHHmmss, so the history page loads it and exports it with the
// right start), or as miniSEED as the archive holds it.
class ArchiveExtract
{
public:
    struct Result {
        QString output;  // the file written; empty on failure
        QString message; // what was written, or why nothing was
    };

    ArchiveExtract(const QString &archiveFolder, const MiniSeedOptions &codes);

    // a, b and c from the first whole second at or after `start` to before `end`, into
    // `folder`. The rows' times show where the archive has a gap.
    Result writeRecordFile(const QDateTime &start, const QDateTime &end,
                           const QString &folder) const;
    // The channels named (all three when none) to `path`, gaps kept.
    Result writeMiniSeed(const QDateTime &start, const QDateTime &end, QStringList channels,
                         const QString &path) const;

private:
    MiniSeedOptions codes_;
    ArchiveReader reader_;
};
