#pragma once

#include <QObject>
#include <QString>

class Clock;
class Control;
class QTextStream;
class Station;

// What a journal or a terminal sees of a station without a window: one line per log entry
// and per change of the station's state, each "date time level text", flushed at once.
class HeadlessReport : public QObject
{
    Q_OBJECT
public:
    HeadlessReport(Station &station, const Clock &clock, QTextStream &out,
                   QObject *parent = nullptr);

    // A line stamped with the current time. Levels: "info", "warning", "alarm", "log".
    void report(const QString &level, const QString &text);

private:
    void write(const QString &time, const QString &level, const QString &text);
    void logEntry(const QString &line);
    void watch(Control &control, void (HeadlessReport::*handler)());
    void linkOpenChanged(bool open);
    void linkSilentChanged(bool silent);
    void intensityChanged(const QString &intensity);
    void alarmChanged();
    void recordingChanged();
    void summaryChanged();
    void statusChanged();
    void writeWarningChanged();
    QString linkDescription() const;

    Station &station_;
    const Clock &clock_;
    QTextStream &out_;
    bool alarmShown_ = false;
    bool recording_ = false;
    bool writeWarning_ = false;
};
