#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

class Clock;
class EventLog;
class LiveFields;
class ProgramFolder;
class RecordingSettings;
class SampleRing;

// The event waveform file: the rows of the sample ring around the trigger row, written as CSV
// to the record folder once the post-alarm time has passed.
class EventFile : public QObject
{
    Q_OBJECT
public:
    // How long a late window may keep its file waiting for its last rows.
    static constexpr int LateRowsWaitSeconds = 3;

    EventFile(SampleRing &ring, const RecordingSettings &settings, const LiveFields &fields,
              EventLog &eventLog, const ProgramFolder &folder, const Clock &clock,
              QObject *parent = nullptr);

    // An event starts at `start`: the next row stored becomes its trigger row.
    void beginEvent(const QDateTime &start);
    // Starts counting the post-alarm seconds, once a second, unless they are counting already.
    void armPostAlarm();
    // The post-alarm time of an event runs, or its file waits for its last rows.
    bool isPending() const { return postAlarmTimer_.isActive(); }
    // A second unless changed; a test that counts the seconds itself makes it long.
    void setTickInterval(int milliseconds) { postAlarmTimer_.setInterval(milliseconds); }

    // One second of the post-alarm time: writes the file once the post-alarm time has passed
    // and every row of its window is recorded, or once the rows have been waited for long
    // enough.
    void onPostAlarmTick();
    // New rows in the ring: a file that waits only for them is written now.
    void samplesStored();
    // Writes the rows of the window that have been recorded.
    void writeEventFile();
    // Leaving the station while the post-alarm time runs: writes the file with the rows
    // recorded so far.
    void finishPending();

    int postAlarmTicks() const { return postAlarmTicks_; }

    // The file name of the current event: time stamp, "_", station code made safe, ".CSV".
    QString fileName() const;
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
    Span wanted() const;
    Span recorded() const;
    Span window() const;
    bool windowRecorded() const;
    void finish(const QString &shortReason);
    void write(const Span &span);
    void logEarlyEnd(const Span &span, const QString &reason);
    QByteArray compose(const Span &span) const;
    QString timeStamp() const;
    void tellKeptInProgramFolder(const QString &refusedPath, const QString &error);

    SampleRing &ring_;
    const RecordingSettings &settings_;
    const LiveFields &fields_;
    EventLog &eventLog_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    QTimer postAlarmTimer_;
    QDateTime start_;
    int postAlarmTicks_ = 0;
    int lateTicks_ = 0; // ticks since the post-alarm time ran out with rows still missing
};
