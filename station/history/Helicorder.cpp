#include "Helicorder.h"

#include "common/TextFiles.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

HelicorderTrace HelicorderTrace::build(const HelicorderLayout &layout,
                                       const std::vector<ArchiveReader::Segment> &segments,
                                       double galPerCount, double clipGal, int bucket)
{
    HelicorderTrace trace;
    trace.x.resize(size_t(layout.lineCount()));
    trace.y.resize(size_t(layout.lineCount()));
    const double scale = galPerCount / qMax(clipGal, 1e-9) / 2;
    bucket = qMax(1, bucket);
    auto add = [&trace](int line, double x, double y) {
        trace.x[size_t(line)].push_back(x);
        trace.y[size_t(line)].push_back(y);
    };
    for (const ArchiveReader::Segment &segment : segments) {
        for (size_t first = 0; first < segment.counts.size(); first += size_t(bucket)) {
            const qint64 t = segment.startMicros + qint64(first) * SampleMicros;
            const std::optional<HelicorderLayout::Place> at = layout.place(t);
            if (!at)
                continue;
            const size_t end = std::min(segment.counts.size(), first + size_t(bucket));
            const auto [low, high] = std::minmax_element(segment.counts.begin() + qint64(first),
                                                         segment.counts.begin() + qint64(end));
            const auto scaled = [&](qint32 count) {
                return -at->line + std::clamp(count * scale, -0.5, 0.5);
            };
            // A run that starts on a line already drawn follows a gap: the trace breaks there.
            if (first == 0 && !trace.x[size_t(at->line)].empty())
                add(at->line, at->seconds, std::numeric_limits<double>::quiet_NaN());
            add(at->line, at->seconds, scaled(*low));
            add(at->line, at->seconds, scaled(*high));
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
