#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class Clock;
class EventLog;
class Form;
class ProgramFolder;

// The event waveform file: the post-alarm count of `TmrRec` and the CSV of the rows of
// `SampleRing` around the trigger row, written to the record folder.
class EventFile
{
public:
    // How long a late window may keep its file waiting for its last rows.
    static constexpr int LateRowsWaitSeconds = 3;

    EventFile(Form &form, EventLog &eventLog, const ProgramFolder &folder, const Clock &clock);

    // One tick of `TmrRec`: writes the file once the post-alarm time has passed and every row
    // of its window is recorded, or once the rows have been waited for long enough.
    void TmrRec_Timer();
    // New rows in the ring: a file that waits only for them is written now.
    void samplesStored();
    // Writes the rows of the window that have been recorded.
    void WriteEventCsv();
    // Leaving the station while the post-alarm time runs: writes the file with the rows
    // recorded so far.
    void finishPending();

    // Told the path of every event file once its rows are on disk, also when it had to wait.
    void setWrittenHandler(std::function<void(const QString &path)> handler)
    {
        writtenHandler_ = std::move(handler);
    }

    int postAlarmTicks() const { return postAlarmTicks_; }

    // The file name of the current event: time stamp, "_", station code made safe, ".CSV".
    QString fileName() const;
    // The station code with every character that is not safe in a file name replaced.
    static QString fileNamePart(const QString &stationCode);

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

    Form &form_;
    EventLog &eventLog_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    int postAlarmTicks_ = 0;
    int lateTicks_ = 0; // ticks since the post-alarm time ran out with rows still missing
    std::function<void(const QString &path)> writtenHandler_;
};
