#pragma once

#include "common/FailureNotice.h"

#include <QString>

class Clock;
class Form;
class ProgramFolder;
class Prompter;
class Shell;

// The monthly event log (Event/<year><month>.txt), the event summary file Vorsa.txt and the
// summary box `txtEvent`.
class EventLog
{
public:
    static constexpr int SummaryBoxLimit = 62100;

    EventLog(Form &form, const ProgramFolder &folder, const Clock &clock, Prompter &prompter,
             Shell &shell);

    // One line: message, "_", station code. The month's file is named from the clock at the
    // moment of writing.
    void AppendEventLog(const QString &message);
    void WriteEventSummary();
    void mnuEvent_Click();

    // The summary line of the current event from the live fields.
    QString summaryLine() const;
    QString monthFileName() const;
    // Puts a line on top of `txtEvent`, keeping at most 62100 older characters.
    static QString withLineOnTop(const QString &line, const QString &previous);

private:
    // Tells the operator once per failure spell; the next write tries again.
    void noteWrite(bool ok, FailureNotice &notice, const QString &what, const QString &error);

    Form &form_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    Prompter &prompter_;
    Shell &shell_;
    FailureNotice logNotice_;
    FailureNotice summaryNotice_;
};
