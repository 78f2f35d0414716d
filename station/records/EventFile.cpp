#include "EventFile.h"

#include "EventLog.h"
#include "RecordingSettings.h"
#include "RecordsLogging.h"
#include "SampleRing.h"
#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "common/TextFiles.h"

#include <QDir>
#include <algorithm>
#include <array>

namespace
{

constexpr int SamplesPerSecond = SampleRing::SamplesPerSecond;
constexpr double RingSeconds = SampleRing::Seconds;
constexpr int ColumnWidth = 10;
constexpr int RowBytes = 6 * (ColumnWidth + 1) + 1;

struct Extremes {
    std::array<float, 3> max{-999, -999, -999};
    std::array<float, 3> min{999, 999, 999};
};

void appendLine(QByteArray &out, const QString &line)
{
    out += line.toUtf8();
    out += TextFiles::LineEnd;
}

QString column(double value, int decimals)
{
    return NumberText::rightAligned(NumberText::fixed(value, decimals), ColumnWidth);
}

QString dataRow(qint64 k, const SampleRing::Row &row)
{
    QString line = column(static_cast<double>(k) * 0.01, 2);
    for (float value : row) {
        line += QLatin1Char(',');
        line += column(value, 3);
    }
    return line;
}

QString amplitudeLine(char axis, float max, float min)
{
    return QStringLiteral("#AmplitudeMAX. ") + QLatin1Char(axis) + QStringLiteral(":   ") +
           NumberText::singleText(max) + QStringLiteral(" ~ ") + NumberText::singleText(min);
}

} // namespace

EventFile::EventFile(SampleRing &ring, const RecordingSettings &settings, const LiveFields &fields,
                     EventLog &eventLog, const ProgramFolder &folder, const Clock &clock,
                     QObject *parent)
    : QObject(parent), ring_(ring), settings_(settings), fields_(fields), eventLog_(eventLog),
      folder_(folder), clock_(clock)
{
    postAlarmTimer_.setInterval(1000);
    connect(&postAlarmTimer_, &QTimer::timeout, this, &EventFile::onPostAlarmTick);
}

void EventFile::beginEvent(const QDateTime &start)
{
    ring_.markEvent();
    latest_ = Window{nextId_++, start, ring_.rowsRecorded()};
    latestArmed_ = false;
}

bool EventFile::isLatestPending() const
{
    return latestArmed_ && std::any_of(pending_.begin(), pending_.end(),
                                       [this](const Window &w) { return w.id == latest_.id; });
}

void EventFile::armPostAlarm()
{
    // Once written, the same window is not armed again by a later change of the flags.
    if (latestArmed_)
        return;
    latestArmed_ = true;
    const bool wasPending = isPending();
    pending_.push_back(latest_);
    if (wasPending)
        return;
    postAlarmTimer_.start();
    emit pendingChanged(true);
}

void EventFile::onPostAlarmTick()
{
    finishWhere([this](Window &w) { return tickDone(w); },
                QStringLiteral("no samples came for %1 s after the post-alarm time")
                    .arg(LateRowsWaitSeconds));
}

bool EventFile::tickDone(Window &w)
{
    ++w.postAlarmTicks;
    if (settings_.postAlarmSeconds() > w.postAlarmTicks)
        return false;
    // The last packet of the window may still be on its way; a silent link ends the wait.
    return windowRecorded(w) || w.lateTicks++ >= LateRowsWaitSeconds;
}

void EventFile::samplesStored()
{
    finishWhere([this](Window &w) { return w.lateTicks > 0 && windowRecorded(w); }, QString());
}

void EventFile::writeEventFile()
{
    write(latest_, window(latest_));
}

void EventFile::finishPending()
{
    finishWhere([](Window &) { return true; }, QStringLiteral("the station was closed"));
}

// Files are written oldest first, each once; the timer stops with the last.
void EventFile::finishWhere(const std::function<bool(Window &)> &done, const QString &shortReason)
{
    if (pending_.empty())
        return;
    std::vector<Window> due;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (done(*it)) {
            due.push_back(*it);
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    if (pending_.empty())
        postAlarmTimer_.stop();
    for (const Window &w : due)
        finish(w, shortReason);
    if (!due.empty() && pending_.empty())
        emit pendingChanged(false);
}

void EventFile::finish(const Window &w, const QString &shortReason)
{
    const Span span = window(w);
    write(w, span);
    if (span.end < wanted().end)
        logEarlyEnd(w, span, shortReason);
}

EventFile::Span EventFile::wanted() const
{
    // The settings refuse times beyond the ring, but a typed and unsaved text can still hold
    // one: such a window is cut to the ring instead of repeating older rows.
    const double pre = qBound(0.0, settings_.preAlarmSeconds(), RingSeconds);
    const double post = qBound(0.0, settings_.postAlarmSeconds(), RingSeconds - pre);
    Span s;
    s.first = -NumberText::roundHalfEven(pre * SamplesPerSecond);
    s.end = s.first +
            qMax<qint64>(0, NumberText::roundHalfEven((pre + post) * SamplesPerSecond - 1) + 1);
    return s;
}

// Rows before the station's first sample, and rows the ring has already overwritten, were never
// recorded for this event; neither were rows that have not arrived yet.
EventFile::Span EventFile::recorded(const Window &w) const
{
    Span s;
    s.end = ring_.rowsRecorded() - w.triggerRow;
    s.first = qMax(-w.triggerRow, s.end - SampleRing::Rows);
    return s;
}

EventFile::Span EventFile::window(const Window &w) const
{
    const Span want = wanted();
    const Span have = recorded(w);
    Span s;
    s.first = qMax(want.first, have.first);
    s.end = qMax(s.first, qMin(want.end, have.end));
    return s;
}

bool EventFile::windowRecorded(const Window &w) const
{
    return recorded(w).end >= wanted().end;
}

void EventFile::logEarlyEnd(const Window &w, const Span &span, const QString &reason)
{
    const QString message =
        QStringLiteral("Event record %1 ends early at %2 s: %3")
            .arg(fileNameFor(w.start),
                 NumberText::fixed(static_cast<double>(span.end - wanted().first) * 0.01, 2),
                 reason);
    qCWarning(lcRecords).noquote() << message;
    eventLog_.appendEventLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') +
                             message);
}

QString EventFile::timeStamp(const QDateTime &start)
{
    return start.toString(QStringLiteral("yyyyMMddHHmmss")).right(12);
}

QString EventFile::fileNamePart(const QString &stationCode)
{
    QString part = stationCode;
    for (QChar &ch : part) {
        const bool safe = (ch.unicode() < 128 && ch.isLetterOrNumber()) || ch == QLatin1Char('-') ||
                          ch == QLatin1Char('_');
        if (!safe)
            ch = QLatin1Char('_');
    }
    return part;
}

QString EventFile::fileNameFor(const QDateTime &start) const
{
    return timeStamp(start) + QLatin1Char('_') + fileNamePart(fields_.text(Field::StationCode)) +
           QStringLiteral(".CSV");
}

QByteArray EventFile::compose(const Window &w, const Span &span) const
{
    const int rows = int(span.end - span.first);
    const int firstRow = int((w.triggerRow + span.first) % SampleRing::Rows);
    // Rows that were never recorded before the first one are missing from the file, not
    // shifted: each row keeps its own time, so the trigger row stays at the pre-alarm time.
    const qint64 firstTimeRow = span.first - wanted().first;
    Extremes ext;
    for (int k = 0, r = firstRow; k < rows; ++k, r = SampleRing::next(r)) {
        for (int axis = 0; axis < 3; ++axis) {
            const float v = ring_.row(r)[axis];
            if (v > ext.max[axis])
                ext.max[axis] = v;
            if (v < ext.min[axis])
                ext.min[axis] = v;
        }
    }

    const QString code = fields_.text(Field::StationCode);
    QByteArray out;
    out.reserve(1024 + rows * RowBytes);
    appendLine(out, QStringLiteral("#StationCode:") + code);
    appendLine(out, QStringLiteral("#InstrumentKind: CSV  (") + timeStamp(w.start) +
                        QLatin1Char('_') + code + QStringLiteral(".CSV)"));
    appendLine(out, QStringLiteral("#StartTime:") + NumberText::generalDateTime(w.start));
    appendLine(out, QStringLiteral("#RecordLength(sec):   120.00 "));
    appendLine(out, QStringLiteral("#SampleRate(Hz): 100"));
    appendLine(out, QStringLiteral("#AmplitudeUnit:  gal. DCoffset(corr)"));
    for (int axis = 0; axis < 3; ++axis)
        appendLine(out, amplitudeLine(char('a' + axis), ext.max[axis], ext.min[axis]));
    appendLine(out, QStringLiteral("#Intensity: ") + fields_.text(Field::Intensity));
    appendLine(out, QStringLiteral("#DataSequence: Time; a; b; c; Pd; Displacement"));
    appendLine(out, QStringLiteral("#Data: 4F10.3 "));
    for (int k = 0, r = firstRow; k < rows; ++k, r = SampleRing::next(r))
        appendLine(out, dataRow(firstTimeRow + k, ring_.row(r)));
    return out;
}

// The record folder first, the program folder when the record folder refuses the file; when
// both refuse it, it waits in memory to be written there later.
void EventFile::write(const Window &w, const Span &span)
{
    const QString name = fileNameFor(w.start);
    const QString dir = settings_.recordFolder();
    const QString fallback = folder_.file(name);
    QStringList paths{fallback};
    if (!dir.isEmpty())
        paths.prepend(QDir(dir).filePath(name));
    paths.removeDuplicates();
    const PendingWrites::Outcome outcome = eventLog_.pendingWrites().append(
        paths, compose(w, span), [this](const QString &path) { emit written(path); });
    if (outcome.writtenTo == fallback)
        tellKeptInProgramFolder(name, dir.isEmpty() ? name : paths.first(),
                                dir.isEmpty() ? QStringLiteral("no record folder") : outcome.error);
}

void EventFile::tellKeptInProgramFolder(const QString &name, const QString &refusedPath,
                                        const QString &error)
{
    const QString message = QStringLiteral("Event file not written to %1 (%2); kept in %3")
                                .arg(refusedPath, error, folder_.file(name));
    qCWarning(lcRecords).noquote() << message;
    emit notice(message);
    eventLog_.appendEventLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') +
                             message);
}
