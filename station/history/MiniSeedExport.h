#pragma once

#include "RecordFileLoader.h"
#include "TraceCollector.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

class Form;
class QFileInfo;
class QSettings;

// The [miniseed] group of vorsa.ini: the codes a trace is named by and whether every new
// event file is exported as it is written.
struct MiniSeedOptions {
    QString network = QStringLiteral("XX");
    QString location = QStringLiteral("00");
    // 100 Hz accelerometer, orientations A, B, C of a triaxial sensor.
    std::array<QString, 3> channels{QStringLiteral("HNA"), QStringLiteral("HNB"),
                                    QStringLiteral("HNC")};
    // For records that carry no station code (manual recordings, plain files).
    QString station = QStringLiteral("VORSA");
    bool exportEventFiles = false;

    static MiniSeedOptions read(const QSettings &settings);
    // Writes the keys the file does not have yet, with their defaults, so that the operator
    // finds them; keys already there (ours or not) stay as they are.
    static void addMissingKeys(QSettings &settings);
    // Empty when every code is one SEED allows, else what is wrong.
    QString problem() const;
};

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
    // Upper-case letters and digits only, the last five of them (serial numbers differ at
    // their end); empty when the text has none.
    static QString stationCode(const QString &text);

private:
    static QString recordProblem(const QString &path, RecordFileLoader::Layout layout,
                                 const TraceCollector &collector);
    std::optional<QDateTime> firstSampleTime(const QFileInfo &info, RecordFileLoader::Layout layout,
                                             const Form &form) const;
    Result write(const QString &recordPath, const QString &station, const QDateTime &startUtc,
                 const TraceCollector::Traces &traces) const;

    MiniSeedOptions options_;
    double preAlarmSeconds_;
};
