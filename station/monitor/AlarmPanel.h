#pragma once

#include "common/Control.h"

#include <array>

// What the monitor tells the operator beside the charts, kept headless so that the window, the
// journal and the outage mark read the same facts: the alarm caption, the intensity box, the
// scale in force, the trigger lamps, the device's I/O lamps and the recording caption.
struct AlarmPanel {
    AlarmPanel()
    {
        caption.setVisible(false);
        for (Control &lamp : triggerLamps)
            lamp.setVisible(false);
        recording.setText(QStringLiteral("Vorsa recording"));
        recording.setVisible(false);
    }

    Control caption;
    Control intensity;
    Control scaleName;                   // "GB/T mode" or "TW mode"
    std::array<Control, 4> triggerLamps; // displacement, Pd, PGA, STA/LTA
    std::array<Control, 16> ioLamps;     // DO 1-8, then DI 1-8
    // Shared by the event recording and the manual one: its text says which runs.
    Control recording;
};
