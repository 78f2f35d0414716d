#pragma once

#include "common/Control.h"
#include "common/DecodedPacket.h"
#include "common/LiveFields.h"

#include <QDateTime>
#include <QObject>
#include <array>
#include <vector>

// The main window `frmKRT54` without widgets: the live fields, the control models, the
// timers and the state the subsystems share. The widgets mirror it; the logic owns it.
class Form : public QObject
{
    Q_OBJECT
public:
    explicit Form(QObject *parent = nullptr);

    LiveFields txtReal;

    // ---- Window ----
    Control caption;       // window title
    Control windowState;   // checked = maximised
    Control formBackColor; // the window's background: red while the link is silent
    Control statusLine;    // the latest short status message for the operator

    // ---- Real-time view ----
    Control lblIP, lblevt, rxcnt;
    Control Frame10, lblsvrins, lblcntdown; // "Server infomation"
    Control Check1;                         // raw receive log
    Control lblRejected;                    // count of device frames that failed the checks
    Control lblPeer;                        // the server link's device, "address:port"
};
