#pragma once

#include "AlarmPanel.h"
#include "EventState.h"

#include "common/AlarmGate.h"
#include "common/Colours.h"

#include <QColor>
#include <QLatin1String>
#include <optional>

class Clock;
class EventLog;
class LiveFields;
struct AlarmRule;

// After every decoded response: the Watch and Warning captions per trigger kind (displacement,
// Pd, PGA) with their log lines, and the intensity, scale name and I/O lamps.
class AlarmDisplay
{
public:
    static inline const QColor OutputOn = Colours::Red;
    static inline const QColor InputOn = Colours::Green;
    static inline const QColor LampOff = Colours::LampOff;

    AlarmDisplay(const LiveFields &fields, AlarmPanel &panel, EventState &events, EventLog &log,
                 const Clock &clock);

    void evaluateAlarms(AlarmGate gate);
    void updateIntensityDisplay();

private:
    bool watchGateOpen(const AlarmRule &rule, AlarmGate gate) const;
    void watchBlock(const AlarmRule &rule, AlarmGate gate);
    void warningBlock(const AlarmRule &rule);
    // Raises the kind's peak to the current value; returns the current value.
    float raisePeak(const AlarmRule &rule);
    // Caption text + peak + unit; the PGA unit depends on the trigger axis, and an unknown
    // axis leaves the caption as it was.
    std::optional<QLatin1String> unitText(const AlarmRule &rule) const;
    void showCaption(const AlarmRule &rule, const char *text);
    void logCaption();
    void updateLamps();

    const LiveFields &fields_;
    AlarmPanel &panel_;
    EventState &events_;
    EventLog &log_;
    const Clock &clock_;
    // DO 0 as the previous response left it: the watch captions of the poll wait for it.
    bool alarmOutputOn_ = false;
};
