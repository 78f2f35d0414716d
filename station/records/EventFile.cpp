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

QString dataRow(int k, const SampleRing::Row &row)
{
    QString line = column(k * 0.01, 2);
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
    start_ = start;
    ring_.markEvent();
}

void EventFile::armPostAlarm()
{
    if (isPending())
        return;
    postAlarmTimer_.start();
    emit pendingChanged(true);
}

void EventFile::onPostAlarmTick()
{
    ++postAlarmTicks_;
    if (settings_.postAlarmSeconds() > postAlarmTicks_)
        return;
    // The last packet of the window may still be on its way; a silent link ends the wait.
    if (!windowRecorded() && lateTicks_++ < LateRowsWaitSeconds)
        return;
    finish(QStringLiteral("no samples came for %1 s after the post-alarm time")
               .arg(LateRowsWaitSeconds));
}

void EventFile::samplesStored()
{
    if (lateTicks_ > 0 && isPending() && windowRecorded())
        finish(QString());
}

void EventFile::writeEventFile()
{
    write(window());
}

void EventFile::finishPending()
{
    if (isPending())
        finish(QStringLiteral("the station was closed"));
}

void EventFile::finish(const QString &shortReason)
{
    postAlarmTicks_ = 0;
    lateTicks_ = 0;
    postAlarmTimer_.stop();
    const Span span = window();
    write(span);
    emit pendingChanged(false);
    if (span.end < wanted().end)
        logEarlyEnd(span, shortReason);
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
EventFile::Span EventFile::recorded() const
{
    Span s;
    s.end = ring_.rowsRecorded() - ring_.rowsRecordedAtEvent();
    s.first = qMax(-ring_.rowsRecordedAtEvent(), s.end - SampleRing::Rows);
    return s;
}

EventFile::Span EventFile::window() const
{
    const Span want = wanted();
    const Span have = recorded();
    Span s;
    s.first = qMax(want.first, have.first);
    s.end = qMax(s.first, qMin(want.end, have.end));
    return s;
}

bool EventFile::windowRecorded() const
{
    return recorded().end >= wanted().end;
}

void EventFile::logEarlyEnd(const Span &span, const QString &reason)
{
    const QString message =
        QStringLiteral("Event record %1 ends early at %2 s: %3")
            .arg(fileName(),
                 NumberText::fixed(static_cast<double>(span.end - span.first) * 0.01, 2), reason);
    qCWarning(lcRecords).noquote() << message;
    eventLog_.appendEventLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') +
                             message);
}

QString EventFile::timeStamp() const
{
    return start_.toString(QStringLiteral("yyyyMMddHHmmss")).right(12);
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

QString EventFile::fileName() const
{
    return timeStamp() + QLatin1Char('_') + fileNamePart(fields_.text(Field::StationCode)) +
           QStringLiteral(".CSV");
}

QByteArray EventFile::compose(const Span &span) const
{
    const int rows = int(span.end - span.first);
    const int firstRow =
        int(((ring_.eventIndex() + span.first) % SampleRing::Rows + SampleRing::Rows) %
            SampleRing::Rows);
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
    appendLine(out, QStringLiteral("#InstrumentKind: CSV  (") + timeStamp() + QLatin1Char('_') +
                        code + QStringLiteral(".CSV)"));
    appendLine(out, QStringLiteral("#StartTime:") + NumberText::generalDateTime(start_));
    appendLine(out, QStringLiteral("#RecordLength(sec):   120.00 "));
    appendLine(out, QStringLiteral("#SampleRate(Hz): 100"));
    appendLine(out, QStringLiteral("#AmplitudeUnit:  gal. DCoffset(corr)"));
    for (int axis = 0; axis < 3; ++axis)
        appendLine(out, amplitudeLine(char('a' + axis), ext.max[axis], ext.min[axis]));
    appendLine(out, QStringLiteral("#Intensity: ") + fields_.text(Field::Intensity));
    appendLine(out, QStringLiteral("#DataSequence: Time; a; b; c; Pd; Displacement"));
    appendLine(out, QStringLiteral("#Data: 4F10.3 "));
    for (int k = 0, r = firstRow; k < rows; ++k, r = SampleRing::next(r))
        appendLine(out, dataRow(k, ring_.row(r)));
    return out;
}

// The record folder first, the program folder when the record folder refuses the file; when
// both refuse it, it waits in memory to be written there later.
void EventFile::write(const Span &span)
{
    const QString dir = settings_.recordFolder();
    const QString fallback = folder_.file(fileName());
    QStringList paths{fallback};
    if (!dir.isEmpty())
        paths.prepend(QDir(dir).filePath(fileName()));
    paths.removeDuplicates();
    const PendingWrites::Outcome outcome = eventLog_.pendingWrites().append(
        paths, compose(span), [this](const QString &path) { emit written(path); });
    if (outcome.writtenTo == fallback)
        tellKeptInProgramFolder(dir.isEmpty() ? fileName() : paths.first(),
                                dir.isEmpty() ? QStringLiteral("no record folder") : outcome.error);
}

void EventFile::tellKeptInProgramFolder(const QString &refusedPath, const QString &error)
{
    const QString message = QStringLiteral("Event file not written to %1 (%2); kept in %3")
                                .arg(refusedPath, error, folder_.file(fileName()));
    qCWarning(lcRecords).noquote() << message;
    emit notice(message);
    eventLog_.appendEventLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') +
                             message);
}
