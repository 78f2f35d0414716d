#pragma once

#include "common/Control.h"
#include "common/DecodedPacket.h"
#include "common/LiveFields.h"
#include "common/RecordFolder.h"

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

    // ---- Pages (visible = on screen; enabled = editable) ----
    Control fraRealtime, fraAnalyze, fraHisTrend, fraHis, fraKRT54, fraHost, fraRT;
    Control fraconnect, frarecord, fraVoice;    // tabs of the connection page
    Control frageneral, fraconnects, frasystem; // tabs of the device page
    Control Strip1Shown;                        // the real-time chart stands apart from frames

    // ---- Connection page ----
    Control optCom, optTCP, optTCP_svr;
    Control txtCom, txtBaud, txtIP, txtPort, mbus_id;
    Control cmdComset, cmdSave;
    Control txtrecPrev, txtrecafter;
    Control Check4;     // "Record mode"
    Control lblAnyHost; // shown while no allow-list guards the server link
    Control chkAuto, chkVoice, chkadj;
    std::array<Control, 13> txtDegree;
    RecordFolder Dir1; // with its file list `File1`

    // ---- Range combos ----
    Control cboPga, cboPga1;

    // ---- Real-time view ----
    Control lblIP, lblevt, rxcnt;
    Control Frame10, lblsvrins, lblcntdown; // "Server infomation"
    Control Check1;                         // raw receive log
    Control lblRejected;                    // count of device frames that failed the checks
    Control lblPeer;                        // the server link's device, "address:port"

    // ---- Device pages ----
    std::array<Control, 4> chktrig;
    std::array<Control, 2> optLPF;
    Control chkGBT, chkgas, chkVBI, chkSCE, chkNTP, chkeew, chkSCE2, chksrv, chkRVD, chkMMI, chkKMA,
        chkMTC;
    Control cmdDefault, cmdSet, cmdSet1, modify_KRT54, modify_KRT54_1, modify_svr_ip, setip,
        wrt_ip_setting, wrt_KRT54, wrt_KRT54_1, wrt_svr_ip, wrt_rvd_ip, modify_rvd_ip;
    Control cmdadj, rtc_cal_interval, rtc_cal_cntdwn;
    // Engineering controls and firmware-dependent labels.
    Control Command2, Frame1, Label86, Label87, Label88, Label121, Label17, Label18, Label19;
    std::array<Control, 3> Label15_5to7;
    Control Label1_64, Label37, Label21, Label22;
};
