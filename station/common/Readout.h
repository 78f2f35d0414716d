#pragma once

#include "common/Control.h"
#include "common/LiveFields.h"

#include <QObject>

// What the station tells the operator beside its pages' own models: the live fields, the
// window's title, the status line and the real-time view's captions. The layers write it;
// the window and the headless report show it.
class Readout : public QObject
{
    Q_OBJECT
public:
    explicit Readout(QObject *parent = nullptr);

    LiveFields liveFields;

    Control windowTitle;
    Control maximised;  // checked: the window starts maximised
    Control statusLine; // the latest short status message for the operator

    Control deviceAddress;   // where the device is reached, or the address it reports
    Control deviceEventTime; // the device's last event, "yyyy/MM/dd hh:mm"
    Control rateCaption;     // the rate display, shown in Engineer mode
    Control rawLogBox;       // "Raw receive log (Vorsarec.txt)"
    // "Server infomation": the intensity and countdown the server sends, shown while it does.
    Control serverInfo, serverIntensity, serverCountdown;
};
