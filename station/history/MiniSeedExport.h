#pragma once

#include "RecordFileLoader.h"
#include "TraceCollector.h"
#include "common/MiniSeedOptions.h"

#include <QDateTime>
#include <QString>
#include <optional>

class QFileInfo;

// Converts a record file (event file, manual recording or plain layout, read as the history
// page reads it) into miniSEED beside it: one trace per axis a, b, c at 100 Hz, samples in
// gal as 32-bit floats. The file appears whole under its name or not at all.
class MiniSeedExport
{
public:
    static constexpr int RecordLength = 4096;
    static constexpr double SampleRate = 100;

    struct Result {
        QString output;  // the file written; empty on failure
        QString message; // what was written, or why nothing was
        qint64 samplesPerTrace = 0;
    };

    // `preAlarmSeconds`: how long before its "#StartTime:" an event file's first row lies.
    MiniSeedExport(const MiniSeedOptions &options, double preAlarmSeconds);

    Result exportFile(const QString &recordPath) const;

    static QString outputPath(const QString &recordPath);
    static QString stationCode(const QString &text) { return MiniSeedOptions::stationCode(text); }

private:
    static QString recordProblem(const QString &path, RecordFileLoader::Layout layout,
                                 const TraceCollector &collector);
    std::optional<QDateTime> firstSampleTime(const QFileInfo &info, RecordFileLoader::Layout layout,
                                             std::optional<QDateTime> headerStart,
                                             double firstRowSeconds) const;
    Result write(const QString &recordPath, const QString &station, const QDateTime &startUtc,
                 const TraceCollector::Traces &traces) const;

    MiniSeedOptions options_;
    double preAlarmSeconds_;
};
