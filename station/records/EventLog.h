#pragma once

#include "PendingWrites.h"
#include "common/Control.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <vector>

class Clock;
class LiveFields;
class ProgramFolder;
class Prompter;
class Shell;

// The monthly event log (Event/<year><month>.txt), the event summary file Vorsa.txt and the
// summaries the operator reads, newest on top.
class EventLog
{
public:
    static constexpr int SummaryBoxLimit = 62100;
    // Room for ten event files of the default 30 + 90 s, with their headers and the log lines
    // written around them, before the oldest waiting write is dropped.
    static constexpr qint64 PendingCapacity = 10 * (12000 * 67 + 4096);

    EventLog(const LiveFields &fields, Control &statusLine, const ProgramFolder &folder,
             const Clock &clock, Prompter &prompter, Shell &shell);

    // One line: message, "_", station code. The month's file is named from the clock at the
    // moment of writing.
    void appendEventLog(const QString &message);
    // A trigger, watch, warning, P-wave or end line: logged as any other, then told to the
    // alarm observers.
    void appendAlarmLog(const QString &message);
    // The summary of the event that started at `start`: Vorsa.txt, the summary box, the
    // observers, then the log line.
    void writeEventSummary(const QDateTime &start);
    // Asks for a month and opens its log.
    void openMonthlyLog();
    // Called with every line appended to the monthly log (station code included), whether or
    // not the write succeeds; observers are told in the order they were added.
    void addEntryObserver(std::function<void(const QString &line)> observer)
    {
        entryObservers_.push_back(std::move(observer));
    }
    void addAlarmObserver(std::function<void(const QString &line)> observer)
    {
        alarmObservers_.push_back(std::move(observer));
    }
    // Called with every summary line and its event's start, before its "Max Intensity" log
    // line.
    void
    addSummaryObserver(std::function<void(const QString &summary, const QDateTime &start)> observer)
    {
        summaryObservers_.push_back(std::move(observer));
    }

    // The values an event's summary line shows.
    struct SummaryValues {
        QString stationCode;
        QString intensity;
        double vectorMax = 0;
        std::array<double, 6> axisMax{}; // a, b, c, then compound a, b, c
    };
    // The summary of an event whose file was recovered after an unclean stop, from its rows.
    void writeRecoveredSummary(const QDateTime &start, const SummaryValues &values);

    // The summary line of the event that started at `start`, from the live fields.
    QString summaryLine(const QDateTime &start) const;
    static QString summaryLine(const QDateTime &start, const SummaryValues &values);
    QString monthFileName() const;
    // Puts a line on top of the summaries, keeping at most 62100 older characters.
    static QString withLineOnTop(const QString &line, const QString &previous);
    // The event summaries, newest on top, one per line.
    Control &summaries() { return summaries_; }
    // Stands while files wait to be written, naming the folder and the reason.
    Control &writeWarning() { return writeWarning_; }

    // The log, the summary file and the event files write through it, so that what cannot be
    // written now waits instead of being lost.
    PendingWrites &pendingWrites() { return pendingWrites_; }

private:
    QString append(const QString &message);
    void writeSummary(const QDateTime &start, const QString &line, const QString &intensity);
    void logDropped(const QString &path, qint64 bytes);

    const LiveFields &fields_;
    Control &statusLine_;
    Control summaries_;
    Control writeWarning_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    Prompter &prompter_;
    Shell &shell_;
    PendingWrites pendingWrites_;
    std::vector<std::function<void(const QString &line)>> entryObservers_;
    std::vector<std::function<void(const QString &line)>> alarmObservers_;
    std::vector<std::function<void(const QString &summary, const QDateTime &start)>>
        summaryObservers_;
};
