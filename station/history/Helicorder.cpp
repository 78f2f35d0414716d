#include "Helicorder.h"

#include "common/TextFiles.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace
{

constexpr qint64 SampleMicros = 10000;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

} // namespace

HelicorderLayout::HelicorderLayout(const QDateTime &start, int minutesPerLine, int hours)
    : startMicros_(start.toMSecsSinceEpoch() * 1000),
      lineMicros_(qint64(qMax(1, minutesPerLine)) * 60 * 1000000),
      lineCount_(int(qint64(hours) * 60 / qMax(1, minutesPerLine)))
{
}

QDateTime HelicorderLayout::start() const
{
    return QDateTime::fromMSecsSinceEpoch(startMicros_ / 1000);
}

std::optional<HelicorderLayout::Place> HelicorderLayout::place(qint64 micros) const
{
    const qint64 line = floorDiv(micros - startMicros_, lineMicros_);
    if (line < 0 || line >= lineCount_)
        return std::nullopt;
    return Place{int(line), double(micros - startMicros_ - line * lineMicros_) / 1e6};
}

qint64 HelicorderLayout::timeAt(int line, double seconds) const
{
    return startMicros_ + qint64(line) * lineMicros_ + qint64(std::llround(seconds * 1e6));
}

HelicorderEnvelope::HelicorderEnvelope(qint64 startMicros, qint64 endMicros, int samplesPerColumn)
    : startMicros_(startMicros), columnMicros_(qint64(qMax(1, samplesPerColumn)) * SampleMicros),
      readUpTo_(startMicros)
{
    const size_t columns =
        size_t(qMax<qint64>(0, floorDiv(endMicros - startMicros - 1, columnMicros_) + 1));
    low_.assign(columns, std::numeric_limits<qint32>::max());
    high_.assign(columns, std::numeric_limits<qint32>::min());
}

// Column by column rather than sample by sample: the inner loop only compares.
void HelicorderEnvelope::add(qint64 firstMicros, const qint32 *counts, qint64 count)
{
    const qint64 columns = qint64(low_.size());
    qint64 i = 0;
    if (firstMicros < startMicros_)
        i = (startMicros_ - firstMicros + SampleMicros - 1) / SampleMicros;
    while (i < count) {
        const qint64 t = firstMicros + i * SampleMicros - startMicros_;
        const qint64 column = t / columnMicros_;
        if (column >= columns)
            break;
        const qint64 columnEnd = (column + 1) * columnMicros_;
        const qint64 end = std::min(count, i + (columnEnd - t + SampleMicros - 1) / SampleMicros);
        const auto [low, high] = std::minmax_element(counts + i, counts + end);
        low_[size_t(column)] = std::min(low_[size_t(column)], *low);
        high_[size_t(column)] = std::max(high_[size_t(column)], *high);
        samples_ += end - i;
        readUpTo_ = std::max(readUpTo_, startMicros_ + t + (end - i) * SampleMicros);
        i = end;
    }
}

HelicorderTrace HelicorderTrace::build(const HelicorderLayout &layout,
                                       const HelicorderEnvelope &envelope, double galPerCount,
                                       double clipGal, int columnsPerLine)
{
    HelicorderTrace trace;
    trace.x.resize(size_t(layout.lineCount()));
    trace.y.resize(size_t(layout.lineCount()));
    const double scale = galPerCount / qMax(clipGal, 1e-9) / 2;
    const qint64 lineMicros = qint64(std::llround(layout.lineSeconds() * 1e6));
    const qint64 perLine = qMax<qint64>(1, lineMicros / envelope.columnMicros());
    const qint64 join =
        qMax<qint64>(1, (perLine + qMax(1, columnsPerLine) - 1) / qMax(1, columnsPerLine));
    const double columnSeconds = double(envelope.columnMicros()) / 1e6;
    for (int line = 0; line < layout.lineCount(); ++line) {
        auto &xs = trace.x[size_t(line)];
        auto &ys = trace.y[size_t(line)];
        const qint64 first =
            floorDiv(layout.timeAt(line, 0) - envelope.startMicros(), envelope.columnMicros());
        bool broken = false;
        for (qint64 c = 0; c < perLine; c += join) {
            qint32 low = std::numeric_limits<qint32>::max();
            qint32 high = std::numeric_limits<qint32>::min();
            for (qint64 k = first + c; k < first + std::min(perLine, c + join); ++k) {
                if (k < 0 || k >= envelope.columnCount() || !envelope.isFilled(int(k)))
                    continue;
                low = std::min(low, envelope.low(int(k)));
                high = std::max(high, envelope.high(int(k)));
            }
            if (low > high) {
                broken = !xs.empty();
                continue;
            }
            const double x = double(c) * columnSeconds;
            if (std::exchange(broken, false)) {
                xs.push_back(x);
                ys.push_back(std::numeric_limits<double>::quiet_NaN());
            }
            for (qint32 count : {low, high}) {
                xs.push_back(x);
                ys.push_back(-line + std::clamp(count * scale, -0.5, 0.5));
            }
        }
    }
    return trace;
}

QList<QDateTime> eventTimesFromSummaries(const QString &path)
{
    QStringList lines;
    QString error;
    QList<QDateTime> times;
    if (!TextFiles::readLines(path, &lines, &error))
        return times;
    for (const QString &line : lines) {
        const QDateTime when =
            QDateTime::fromString(line.left(19), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        if (when.isValid())
            times << when;
    }
    return times;
}
