#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
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

// A stretch of one channel reduced while it is read: for each column of a few samples' time
// on a grid from `startMicros`, the least and greatest count. It is all a drum draws, whatever
// its lines and clip level, in a small fraction of the samples' memory, and it grows by the
// records read on from where it ends.
class HelicorderEnvelope
{
public:
    HelicorderEnvelope() = default;
    HelicorderEnvelope(qint64 startMicros, qint64 endMicros, int samplesPerColumn);

    // Samples 10 ms apart from `firstMicros`; those outside the stretch are left out.
    void add(qint64 firstMicros, const qint32 *counts, qint64 count);

    qint64 startMicros() const { return startMicros_; }
    qint64 columnMicros() const { return columnMicros_; }
    int columnCount() const { return int(low_.size()); }
    bool isFilled(int column) const { return low_[size_t(column)] <= high_[size_t(column)]; }
    qint32 low(int column) const { return low_[size_t(column)]; }
    qint32 high(int column) const { return high_[size_t(column)]; }
    qint64 sampleCount() const { return samples_; }
    // Just after the newest sample added; the stretch's start while none is.
    qint64 readUpTo() const { return readUpTo_; }

private:
    qint64 startMicros_ = 0;
    qint64 columnMicros_ = 1;
    std::vector<qint32> low_, high_; // low > high: no sample in that column
    qint64 samples_ = 0;
    qint64 readUpTo_ = 0;
};

// What one line draws: x in seconds into the line, y the line's place (0, -1, -2 ... from the
// top) plus the count scaled so that the clip level reaches half way to the next line. The
// envelope's columns are joined to at most `columnsPerLine` per line (a column a pixel), each
// giving its least and greatest value; NaN breaks the trace where columns hold nothing.
struct HelicorderTrace {
    std::vector<std::vector<double>> x, y; // per line

    static HelicorderTrace build(const HelicorderLayout &layout, const HelicorderEnvelope &envelope,
                                 double galPerCount, double clipGal, int columnsPerLine);
};

// The start times of the events in Vorsa.txt (one summary line each, starting with its
// "yyyy/MM/dd HH:mm:ss" local time); lines without one are skipped.
QList<QDateTime> eventTimesFromSummaries(const QString &path);
