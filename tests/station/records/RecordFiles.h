#pragma once

#include "records/EventFile.h"
#include "records/SampleRing.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// Helpers shared by the recording tests: ring contents whose printed form is known exactly,
// and reading back what the writers produced.
namespace RecordFiles
{

// Every value is a multiple of 1/8, so "0.000" prints it without rounding.
inline SampleRing::Row ringRow(int r)
{
    const auto steps = [](int count, float step) { return static_cast<float>(count) * step; };
    return {steps(r % 4000, 0.125f) - 250.0f, steps(r % 997, 0.5f), 1.5f - steps(r % 13, 0.25f),
            steps(r % 8, 0.125f), steps(r % 64, 0.125f)};
}

// Stores `count` rows, each holding `rowAt` of the ring row it lands in.
inline void pushRows(SampleRing &ring, int count,
                     const std::function<SampleRing::Row(int)> &rowAt = ringRow)
{
    for (int i = 0; i < count; ++i)
        ring.push(rowAt(ring.writeIndex()));
}

// An event that started at `start` on a ring that has filled since it was last marked: the
// trigger row at ring row `eventIndex`, `recordedAfter` rows stored from it on.
inline void recordEvent(SampleRing &ring, EventFile &eventFile, const QDateTime &start,
                        int eventIndex, int recordedAfter,
                        const std::function<SampleRing::Row(int)> &rowAt = ringRow)
{
    const int toEvent = (eventIndex - ring.writeIndex() + SampleRing::Rows) % SampleRing::Rows;
    pushRows(ring, SampleRing::Rows + toEvent, rowAt);
    eventFile.beginEvent(start);
    pushRows(ring, recordedAfter, rowAt);
}

// The data row the event file holds for row k taken from ring row r, built with printf.
inline QString expectedEventRow(int k, const SampleRing::Row &v)
{
    return QString::asprintf("%10.2f,%10.3f,%10.3f,%10.3f,%10.3f,%10.3f", k * 0.01, double(v[0]),
                             double(v[1]), double(v[2]), double(v[3]), double(v[4]));
}

// Lines of a file written with CR LF ends; `crlfOnly` tells whether every line end was CR LF.
inline QStringList crlfLines(const QByteArray &bytes, bool *crlfOnly = nullptr)
{
    if (crlfOnly)
        *crlfOnly = bytes.count('\n') == bytes.count("\r\n") && bytes.endsWith("\r\n");
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace RecordFiles
