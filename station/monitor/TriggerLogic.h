#pragma once

#include "AlarmPanel.h"
#include "EventState.h"

#include "common/DecodedPacket.h"

#include <QDateTime>
#include <QString>

class Clock;
class EventFile;
class EventLog;
class LiveFields;
class RecordingSettings;
class StripChart;
struct AlarmTrigger;

// Reacts to the device's trigger and status fields whenever a live field's text changes:
// per-kind trigger lamps and log lines, the event as a whole and its summary, the P-wave caption
// and the device status indicators.
class TriggerLogic
{
public:
    TriggerLogic(LiveFields &fields, AlarmPanel &panel, EventState &events, EventLog &log,
                 EventFile &eventFile, const RecordingSettings &recording, const Clock &clock,
                 StripChart &strip1, StripChart &strip3);

    void onFieldChanged(int i);
    // The largest Pd and displacement of a stream packet's samples raise the event's peaks.
    void takePacket(const DecodedPacket &packet);
    // The device's clock from its latest stream packet: in Record mode an event starts there.
    void setDeviceClock(const QDateTime &time) { deviceClock_ = time; }

private:
    void eventFlagsChanged();
    float seedPeak(int field) const;
    void kindTrigger(const AlarmTrigger &trigger, bool set);
    void staLtaTrigger(bool set);
    void eventRunning();
    void eventOver();

    void pWaveFlagChanged();
    void deviceStatusChanged();

    // NOW, a blank and the text.
    void logLine(const QString &text);
    // Sets and hides the alarm caption, then logs it.
    void logEndCaption(const QString &caption);

    LiveFields &fields_;
    AlarmPanel &panel_;
    EventState &events_;
    EventLog &log_;
    EventFile &eventFile_;
    const RecordingSettings &recording_;
    const Clock &clock_;
    StripChart &strip1_;
    StripChart &strip3_;
    QDateTime deviceClock_;
};
