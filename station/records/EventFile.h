#pragma once

#include "EventJournal.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class Clock;
class EventLog;
class LiveFields;
class ProgramFolder;
class RecordingSettings;
class SampleRing;

// The event waveform files: the rows of the sample ring around each event's trigger row,
// written as CSV to the record folder once that event's post-alarm time has passed. Events of a
// sequence may follow each other while an earlier file is still pending: each keeps its own
// window, and one timer counts the seconds of them all.
class EventFile : public QObject
{
    Q_OBJECT
public:
    // How long a late window may keep its file waiting for its last rows.
    static constexpr int LateRowsWaitSeconds = 3;

    EventFile(SampleRing &ring, const RecordingSettings &settings, const LiveFields &fields,
              EventLog &eventLog, const ProgramFolder &folder, const Clock &clock,
              QObject *parent = nullptr);
    ~EventFile() override;

    // An event starts at `start`: the next row stored becomes its trigger row. Its window
    // replaces the latest event's unless that one's post-alarm time is already counting.
    void beginEvent(const QDateTime &start);
    // Starts counting the latest event's post-alarm seconds, unless they are counting already.
    void armPostAlarm();
    // The post-alarm time of some event runs, or its file waits for its last rows.
    bool isPending() const { return !pending_.empty(); }
    // The latest event's own file is still to be written.
    bool isLatestPending() const;
    // A second unless changed; a test that counts the seconds itself makes it long.
    void setTickInterval(int milliseconds) { postAlarmTimer_.setInterval(milliseconds); }

    // One second of the post-alarm time: writes the file once the post-alarm time has passed
    // and every row of its window is recorded, or once the rows have been waited for long
    // enough.
    void onPostAlarmTick();
    // New rows in the ring: a file that waits only for them is written now.
    void samplesStored();
    // Writes the rows of the latest event's window that have been recorded.
    void writeEventFile();
    // Leaving the station while post-alarm times run: writes every pending file with the rows
    // recorded so far.
    void finishPending();

    // Seconds counted for the oldest pending file.
    int postAlarmTicks() const { return pending_.empty() ? 0 : pending_.front().postAlarmTicks; }

    // Turns each journal left in the record folder by an unclean stop into its event file,
    // with its summary and a log line; one that cannot be read is renamed aside. Gives how
    // many were recovered.
    int recoverJournals();
    // The summary of the event that started at `start` is written: its journal says so.
    void summaryWritten(const QDateTime &start);
    // Waits until every journal write handed over so far is done.
    void drainJournal() { journal_.drain(); }

    // The event file's bytes: its header, then `rows`.
    static QByteArray fileBytes(const QString &code, const QDateTime &start,
                                const QString &intensity, const std::array<float, 3> &max,
                                const std::array<float, 3> &min, const QByteArray &rows);

    // The file name of the latest event: time stamp, "_", station code made safe, ".CSV".
    QString fileName() const { return fileNameFor(latest_.start); }
    QString fileNameFor(const QDateTime &start) const;
    // The event file that the summary of the event started at `start` names: a recovered
    // event's as its journal named it (the device's code may not be read yet), otherwise the
    // file the event gets in Record mode; empty without one.
    QString summaryFileName(const QDateTime &start) const;
    // The station code with every character that is not safe in a file name replaced.
    static QString fileNamePart(const QString &stationCode);

signals:
    void pendingChanged(bool pending);
    // The file's rows are on disk at `path`, also when it had to wait.
    void written(const QString &path);
    // A short message for the operator.
    void notice(const QString &message);

private:
    // Rows counted from the trigger row (negative before it), `first` up to `end` exclusive.
    struct Span {
        qint64 first = 0;
        qint64 end = 0;
    };
    // One event's file: its start, its trigger row as a count of the rows ever stored (which
    // stays valid however often the ring wraps), and its seconds counted.
    struct Window {
        int id = 0;
        QDateTime start;
        qint64 triggerRow = 0;
        int postAlarmTicks = 0;
        int lateTicks = 0; // ticks since the post-alarm time ran out with rows still missing
        QString journal;   // empty without a record folder
        qint64 journaledEnd = 0;
        QString journalIntensity;
    };
    Span wanted() const;
    Span recorded(const Window &w) const;
    Span window(const Window &w) const;
    bool windowRecorded(const Window &w) const;
    // Ticks one window; true when its file is to be written now.
    bool tickDone(Window &w);
    void finish(const Window &w, const QString &shortReason);
    void finishWhere(const std::function<bool(Window &)> &done, const QString &shortReason);
    void write(const Window &w, const Span &span);
    void logEarlyEnd(const Window &w, const Span &span, const QString &reason);
    QByteArray compose(const Window &w, const Span &span) const;
    QByteArray rowBytes(const Window &w, const Span &span) const;
    void startJournal(Window &w);
    void journalNewRows(Window &w);
    void journalFailed(const QString &path, const QString &error);
    bool recoverJournal(const QString &path);
    void logLine(const QString &message);
    static QString timeStamp(const QDateTime &start);
    void tellKeptInProgramFolder(const QString &name, const QString &refusedPath,
                                 const QString &error);

    SampleRing &ring_;
    const RecordingSettings &settings_;
    const LiveFields &fields_;
    EventLog &eventLog_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    QTimer postAlarmTimer_;
    Window latest_;
    bool latestArmed_ = false;
    std::vector<Window> pending_; // oldest first
    // The event whose summary a recovery is writing, and its file's name.
    std::optional<std::pair<QDateTime, QString>> recovering_;
    int nextId_ = 1;
    EventJournal journal_;
    QSet<QString> journalsFailed_;
};
