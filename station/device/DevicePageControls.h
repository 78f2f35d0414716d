#pragma once

#include "common/Control.h"

#include <QList>
#include <array>

// The option word's boxes (register 117), one a bit.
struct OptionBoxes {
    Control gbtScale;        // bit 0, an intensity scale
    Control gasMode;         // bit 1
    Control vectorIntensity; // bit 2
    Control server0;         // bit 3
    Control ntp;             // bit 4
    Control dhcp;            // bit 5
    Control server1;         // bit 6
    Control serviceDisabled; // bit 7
    Control displayLink;     // bit 8, the LED display on the network
    Control mmiScale;        // bit 9, an intensity scale
    Control kmaScale;        // bit 10, an intensity scale
    Control modbusTcpClient; // bit 15, the sign bit
};

// The buttons that write to the device.
struct DeviceWriteButtons {
    Control writeGeneral, writeSystem, loadDefaults, saveAsDefaults;
    Control stageCalibration, commitCalibration;
    Control stageOwnAddress, commitOwnAddress, stageServers, commitServers;
    Control stageNtpServer, commitNtpServer, stageDisplay, commitDisplay;

    // Those Record mode locks: the device's settings are written with it off.
    QList<Control *> lockedInRecordMode();
};

// The device pages' controls the station drives besides their fields: the boxes that show
// the option and trigger words, the PGA threshold boxes, the clock adjustment and the parts
// that Engineer mode or the firmware version show.
struct DevicePageControls {
    DevicePageControls();

    OptionBoxes options;
    std::array<Control, 4> triggerBoxes;  // trigger word bits 0..3
    std::array<Control, 2> lowPassFilter; // 10 Hz, 20 Hz (trigger word bit 7)
    Control pgaWarningBox, pgaWatchBox;
    Control clockAdjustedByPc, adjustClockButton, clockCheckInterval, clockCheckCountdown;
    Control calibrationBlock; // shown in Engineer mode
    DeviceWriteButtons buttons;
};
