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
    EventFile(Form &form, EventLog &eventLog, const ProgramFolder &folder, const Clock &clock);

    // One tick of `TmrRec`: writes the file once the post-alarm time has passed.
    void TmrRec_Timer();
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
    struct Window {
        int firstRow = 0;
        int rows = 0;
    };
    Window window() const;
    Window windowUpToWriteIndex() const;
    void write(const Window &window);
    QByteArray compose(const Window &window) const;
    QString timeStamp() const;
    void tellKeptInProgramFolder(const QString &refusedPath, const QString &error);

    Form &form_;
    EventLog &eventLog_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    int postAlarmTicks_ = 0;
    std::function<void(const QString &path)> writtenHandler_;
};
