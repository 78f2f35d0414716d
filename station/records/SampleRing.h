#pragma once

#include "common/DecodedPacket.h"

#include <QtGlobal>
#include <array>
#include <vector>

// The last 240 s of samples at 100 Hz (a, b, c in gal, Pd, displacement in cm), and the trigger
// row of the current event.
class SampleRing
{
public:
    static constexpr int SamplesPerSecond = 100;
    static constexpr int Seconds = 240;
    static constexpr int Rows = Seconds * SamplesPerSecond;
    using Row = std::array<float, 5>;

    void push(const Row &row)
    {
        rows_[writeIndex_] = row;
        writeIndex_ = next(writeIndex_);
        ++rowsRecorded_;
    }
    // Only stream packets fill the ring; the register poll leaves it alone.
    void take(const DecodedPacket &packet)
    {
        if (!packet.isStream())
            return;
        for (const DecodedPacket::Sample &s : packet.samples)
            push({float(s.a), float(s.b), float(s.c), float(s.pd), float(s.displacement)});
    }
    // The next row to be written becomes the trigger row.
    void markEvent()
    {
        eventIndex_ = writeIndex_;
        rowsRecordedAtEvent_ = rowsRecorded_;
    }

    const Row &row(int index) const { return rows_[index]; }
    int writeIndex() const { return writeIndex_; }
    int eventIndex() const { return eventIndex_; }
    // Rows stored since the station started, and that count when the trigger row was taken:
    // they tell which rows of a window were really recorded, however often the ring wrapped.
    qint64 rowsRecorded() const { return rowsRecorded_; }
    qint64 rowsRecordedAtEvent() const { return rowsRecordedAtEvent_; }

    static int next(int index) { return index < Rows - 1 ? index + 1 : 0; }

private:
    std::vector<Row> rows_ = std::vector<Row>(Rows, Row{});
    int writeIndex_ = 0;
    int eventIndex_ = 0;
    qint64 rowsRecorded_ = 0;
    qint64 rowsRecordedAtEvent_ = 0;
};
