#pragma once

#include "ArchiveReader.h"

#include <QDateTime>
#include <QList>
#include <optional>
#include <vector>

// The drum of a helicorder: a stretch of hours from `start` cut into lines of a few minutes,
// the first line on top. Line k holds the times from start + k lines up to the next line.
class HelicorderLayout
{
public:
    HelicorderLayout(const QDateTime &start, int minutesPerLine, int hours = 24);

    struct Place {
        int line = 0;
        double seconds = 0; // into the line
    };

    int lineCount() const { return lineCount_; }
    double lineSeconds() const { return double(lineMicros_) / 1e6; }
    QDateTime start() const;
    // Where a time (microseconds since 1970 UTC) is drawn; none outside the drum.
    std::optional<Place> place(qint64 micros) const;
    qint64 timeAt(int line, double seconds) const;

private:
    qint64 startMicros_;
    qint64 lineMicros_;
    int lineCount_;
};

// What one line draws: x in seconds into the line, y the line's place (0, -1, -2 ... from the
// top) plus the sample scaled so that the clip level reaches half way to the next line.
// Every `bucket` samples give their smallest and largest value; NaN breaks the trace at a gap.
struct HelicorderTrace {
    std::vector<std::vector<double>> x, y; // per line

    static HelicorderTrace build(const HelicorderLayout &layout,
                                 const std::vector<ArchiveReader::Segment> &segments,
                                 double galPerCount, double clipGal, int bucket);
};

// The start times of the events in Vorsa.txt (one summary line each, starting with its
// "yyyy/MM/dd HH:mm:ss" local time); lines without one are skipped.
QList<QDateTime> eventTimesFromSummaries(const QString &path);
