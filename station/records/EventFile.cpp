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
#include <QFileInfo>
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
    connect(&journal_, &EventJournal::failed, this, &EventFile::journalFailed);
}

EventFile::~EventFile() = default;

void EventFile::journalFailed(const QString &path, const QString &error)
{
    // One line per journal: a full disk fails every second.
    if (journalsFailed_.contains(path))
        return;
    journalsFailed_.insert(path);
    logLine(QStringLiteral("Event journal %1 not written (%2); the event file waits in memory")
                .arg(path, error));
}

void EventFile::logLine(const QString &message)
{
    qCWarning(lcRecords).noquote() << message;
    eventLog_.appendEventLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') +
                             message);
}

int EventFile::recoverJournals()
{
    const QString dir = settings_.recordFolder();
    if (dir.isEmpty())
        return 0;
    int recovered = 0;
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        if (EventJournal::isJournalName(name) && recoverJournal(QDir(dir).filePath(name)))
            ++recovered;
    }
    return recovered;
}

bool EventFile::recoverJournal(const QString &path)
{
    QFile file(path);
    QString why;
    std::optional<EventJournal::Contents> c;
    if (file.open(QIODevice::ReadOnly))
        c = EventJournal::parse(file.readAll(), &why);
    else
        why = file.errorString();
    file.close();
    const QString journalName = QFileInfo(path).fileName();
    if (!c) {
        // Never deleted: what it holds may still be read by hand.
        const QString aside = path + QStringLiteral(".unreadable");
        const bool kept = QFile::rename(path, aside);
        logLine(QStringLiteral("Event journal %1 cannot be recovered (%2); %3")
                    .arg(journalName, why,
                         kept ? QStringLiteral("kept as ") + QFileInfo(aside).fileName()
                              : QStringLiteral("left where it is")));
        return false;
    }
    const QString name = timeStamp(c->start) + QLatin1Char('_') + fileNamePart(c->stationCode) +
                         QStringLiteral(".CSV");
    const QStringList paths{QDir(settings_.recordFolder()).filePath(name), folder_.file(name)};
    eventLog_.pendingWrites().append(
        paths, fileBytes(c->stationCode, c->start, c->intensity, c->max, c->min, c->rows),
        [this, path](const QString &written) {
            QFile::remove(path);
            emit this->written(written);
        });
    logLine(QStringLiteral("Event record %1 recovered after an unclean stop: %2 s of %3 s")
                .arg(name, NumberText::fixed(c->rowCount * 0.01, 2),
                     NumberText::fixed(c->preAlarmSeconds + c->postAlarmSeconds, 2)));
    // A summary written before the stop is in Vorsa.txt already.
    if (c->summaryWritten)
        return true;
    recovering_.emplace(c->start, name);
    eventLog_.writeRecoveredSummary(c->start, {c->stationCode,
                                               c->intensity,
                                               c->vectorMax,
                                               {c->axisPeak[0], c->axisPeak[1], c->axisPeak[2],
                                                c->axisPeak[0], c->axisPeak[1], c->axisPeak[2]}});
    recovering_.reset();
    return true;
}

void EventFile::summaryWritten(const QDateTime &start)
{
    for (const Window &w : pending_)
        if (w.start == start && !w.journal.isEmpty())
            journal_.append(w.journal, EventJournal::summaryWrittenLine());
}

void EventFile::beginEvent(const QDateTime &start)
{
    ring_.markEvent();
    latest_ = Window();
    latest_.id = nextId_++;
    latest_.start = start;
    latest_.triggerRow = ring_.rowsRecorded();
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
    startJournal(pending_.back());
    if (wasPending)
        return;
    postAlarmTimer_.start();
    emit pendingChanged(true);
}

void EventFile::startJournal(Window &w)
{
    const QString dir = settings_.recordFolder();
    if (dir.isEmpty())
        return;
    w.journal = EventJournal::pathFor(dir, fileNameFor(w.start));
    w.journalIntensity = fields_.text(Field::Intensity);
    journal_.append(w.journal,
                    EventJournal::header(fields_.text(Field::StationCode), w.start,
                                         settings_.preAlarmSeconds(), settings_.postAlarmSeconds(),
                                         w.journalIntensity));
    w.journaledEnd = window(w).first;
    journalNewRows(w);
}

// Only formatting happens here; the journal's thread writes and syncs.
void EventFile::journalNewRows(Window &w)
{
    if (w.journal.isEmpty())
        return;
    const Span have = window(w);
    Span fresh;
    fresh.first = qMax(w.journaledEnd, have.first);
    fresh.end = have.end;
    QByteArray bytes;
    if (const QString intensity = fields_.text(Field::Intensity); intensity != w.journalIntensity) {
        w.journalIntensity = intensity;
        bytes += EventJournal::intensityLine(intensity);
    }
    if (fresh.end > fresh.first) {
        bytes += rowBytes(w, fresh);
        w.journaledEnd = fresh.end;
    }
    if (!bytes.isEmpty())
        journal_.append(w.journal, bytes);
}

void EventFile::onPostAlarmTick()
{
    for (Window &w : pending_)
        journalNewRows(w);
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
    for (Window &w : pending_)
        journalNewRows(w);
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
    logLine(QStringLiteral("Event record %1 ends early at %2 s: %3")
                .arg(fileNameFor(w.start),
                     NumberText::fixed(static_cast<double>(span.end - wanted().first) * 0.01, 2),
                     reason));
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

QString EventFile::summaryFileName(const QDateTime &start) const
{
    if (recovering_ && recovering_->first == start)
        return recovering_->second;
    return settings_.recordMode() ? fileNameFor(start) : QString();
}

QByteArray EventFile::rowBytes(const Window &w, const Span &span) const
{
    const int rows = int(span.end - span.first);
    const int firstRow = int((w.triggerRow + span.first) % SampleRing::Rows);
    // Rows that were never recorded before the first one are missing from the file, not
    // shifted: each row keeps its own time, so the trigger row stays at the pre-alarm time.
    const qint64 firstTimeRow = span.first - wanted().first;
    QByteArray out;
    out.reserve(rows * RowBytes);
    for (int k = 0, r = firstRow; k < rows; ++k, r = SampleRing::next(r))
        appendLine(out, dataRow(firstTimeRow + k, ring_.row(r)));
    return out;
}

QByteArray EventFile::compose(const Window &w, const Span &span) const
{
    const int rows = int(span.end - span.first);
    const int firstRow = int((w.triggerRow + span.first) % SampleRing::Rows);
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
    return fileBytes(fields_.text(Field::StationCode), w.start, fields_.text(Field::Intensity),
                     ext.max, ext.min, rowBytes(w, span));
}

QByteArray EventFile::fileBytes(const QString &code, const QDateTime &start,
                                const QString &intensity, const std::array<float, 3> &max,
                                const std::array<float, 3> &min, const QByteArray &rows)
{
    QByteArray out;
    out.reserve(1024 + rows.size());
    appendLine(out, QStringLiteral("#StationCode:") + code);
    appendLine(out, QStringLiteral("#InstrumentKind: CSV  (") + timeStamp(start) +
                        QLatin1Char('_') + code + QStringLiteral(".CSV)"));
    appendLine(out, QStringLiteral("#StartTime:") + NumberText::generalDateTime(start));
    appendLine(out, QStringLiteral("#RecordLength(sec):   120.00 "));
    appendLine(out, QStringLiteral("#SampleRate(Hz): 100"));
    appendLine(out, QStringLiteral("#AmplitudeUnit:  gal. DCoffset(corr)"));
    for (std::size_t axis = 0; axis < 3; ++axis)
        appendLine(out, amplitudeLine(char('a' + axis), max[axis], min[axis]));
    appendLine(out, QStringLiteral("#Intensity: ") + intensity);
    appendLine(out, QStringLiteral("#DataSequence: Time; a; b; c; Pd; Displacement"));
    appendLine(out, QStringLiteral("#Data: 4F10.3 "));
    out += rows;
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
    // The journal goes once the file is on disk, also when that has to wait.
    const QString journal = w.journal;
    const PendingWrites::Outcome outcome = eventLog_.pendingWrites().append(
        paths, compose(w, span), [this, journal](const QString &path) {
            if (!journal.isEmpty())
                journal_.remove(journal);
            emit written(path);
        });
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
