#pragma once

#include "common/Colours.h"

#include "DeviceLinks.h"
#include "PeerAllowList.h"

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <optional>

class Clock;
class DeviceLinks;
class Form;
class Poller;
class ProgramFolder;

// The three link kinds of the connection page.
enum class LinkKind { Rtu, TcpClient, TcpServer };
// "rtu", "tcp" or "server"; no value for anything else.
std::optional<LinkKind> linkKindFromName(const QString &name);

// Opening and closing the device link, the server-link watchdog and the data-rate display.
class LinkManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int ServerSilenceLimit = 20; // seconds a server link may stay silent
    static constexpr int SerialRateShown = 50;    // rates from here on keep the old text
    static constexpr int ClientRateShown = 100;
    static constexpr int StreamSilenceLimit = 3;   // seconds without a stream packet: offline
    static constexpr int RefusalLogSeconds = 3600; // one refusal line per address per hour

    // The window's background while the link is silent, and otherwise (the window's own).
    static QColor silentColor() { return Colours::SilentLink; }
    static QColor liveColor() { return QColor(); }

    LinkManager(Form &form, DeviceLinks &links, Poller &poller, const Clock &clock,
                const ProgramFolder &folder, QObject *parent = nullptr);

    // Selects the link option; the server option becomes selectable when chosen this way.
    void selectLinkKind(LinkKind kind);

    void openLink();
    void ConnectTcpLink();
    // Reads the server link's allow-list (`AllowedPeers` in vorsa.ini's [ServerLink]); done at
    // start and again at every OK, so an edited list needs no restart.
    void loadAllowedPeers();
    void sck_svr_ConnectionRequest();
    // The server link's connection closed or changed.
    void serverLinkReset();
    void tmr_scksvr_Timer();
    void tmrResetRxcnt_Timer();
    void closeLinkForSettings(); // "&System-Host"

signals:
    void selfTestSoundDue(); // "Voice Enable" is ticked: `voiceCommands[0]` is due
    void settingsSaveDue();
    void realTimeViewDue();                   // the link is open: show the real-time view
    void hostPageDue();                       // the link is closed: show the connection page
    void eventLogDue(const QString &message); // `appendEventLog`

private:
    std::optional<quint8> serialAddress() const;
    void applyRecordMode();
    void openSerialLink(quint8 address);
    void openTcpLink();
    void showEngineeringControls();
    void resetLiveView();
    void rateOfSerialLink();
    void rateOfClientLink();
    void rateOfClientStream();
    void showOffline();
    void showOnline();
    void logLinkChange(const QString &change);
    void refuse(const DeviceLinks::Peer &peer);

    Form &form_;
    DeviceLinks &links_;
    Poller &poller_;
    const Clock &clock_;
    const ProgramFolder &folder_;
    bool onlineLogged_ = false;
    bool offlineLogged_ = false;
    int streamSilentSeconds_ = 0;
    bool opening_ = false;
    PeerAllowList allowedPeers_;
    QHash<QString, QDateTime> refusalLogged_; // by address
};
