#pragma once

#include "common/AlarmGate.h"
#include "common/Colours.h"

#include <QColor>
#include <QLatin1String>
#include <optional>

class Clock;
class EventLog;
class Form;
struct AlarmKind;

// After every decoded response: the Watch and Warning captions per trigger kind (displacement,
// Pd, PGA) with their log lines, and the intensity, scale name and I/O lamps.
class AlarmDisplay
{
public:
    static inline const QColor OutputOn = Colours::Red;
    static inline const QColor InputOn = Colours::Green;
    static inline const QColor LampOff = Colours::LampOff;

    AlarmDisplay(Form &form, EventLog &log, const Clock &clock);

    void EvaluateAlarms(AlarmGate gate);
    void UpdateIntensityDisplay();

private:
    bool watchGateOpen(const AlarmKind &kind, AlarmGate gate) const;
    void watchBlock(const AlarmKind &kind, AlarmGate gate);
    void warningBlock(const AlarmKind &kind);
    // Raises the kind's peak to the current value; returns the current value.
    float raisePeak(const AlarmKind &kind);
    // Caption text + peak + unit; the PGA unit depends on the trigger axis, and an unknown
    // axis leaves the caption as it was.
    std::optional<QLatin1String> unitText(const AlarmKind &kind) const;
    void showCaption(const AlarmKind &kind, const char *text);
    void logCaption();
    void updateLamps();

    Form &form_;
    EventLog &log_;
    const Clock &clock_;
};
