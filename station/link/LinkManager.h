#pragma once

#include "DeviceLink.h"
#include "LinkSettings.h"
#include "PeerAllowList.h"
#include "PollState.h"
#include "Poller.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTimer>
#include <optional>

class Clock;
class Control;
class LiveFields;
class LinkStatus;
class ProgramFolder;
class Waiter;

// Opening and closing the device link, the server link's peer rules and watchdog, the
// data rate and silence, and the poll that runs while a link is open.
class LinkManager : public QObject, public TcpReconnect
{
    Q_OBJECT
public:
    static constexpr int ServerSilenceLimit = 20;  // seconds a server link may stay silent
    static constexpr int ServerRateShown = 100;    // the server link's rate is not counted
    static constexpr int StreamSilenceLimit = 3;   // seconds without a stream packet: offline
    static constexpr int RefusalLogSeconds = 3600; // one refusal line per address per hour
    static constexpr int ConnectPauseMs = 2000;    // a TCP connection's time to come up

    // `fields`: the live fields a new link's first data replaces; `statusLine`: where a faulty
    // allow-list is told.
    LinkManager(LiveFields &fields, Control &statusLine, LinkSettings &settings, LinkStatus &status,
                DeviceLink &serial, DeviceLink &client, ServerLink &server, Waiter &waiter,
                const Clock &clock, const ProgramFolder &folder, QObject *parent = nullptr);

    Poller &poller() { return poller_; }
    // Once a second each: the data rate, and the server link's silence watchdog.
    QTimer &rateTimer() { return rateTimer_; }
    QTimer &serverWatchdog() { return serverWatchdog_; }
    // The watchdog runs from start-up, so a device dialling in early is guarded too.
    void startServerWatchdog() { serverWatchdog_.start(); }
    PollState &pollState() { return pollState_; }
    // Whether the server link admits any host (no allow-list in vorsa.ini).
    bool admitsAnyHost() const { return allowedPeers_.isOpen(); }

    // The settings as the page stands while no link runs: register writes and reconnects
    // follow them until a link is opened; after that they wait for OK.
    void followPage(const LinkSettings &shown);

    enum class Opened { Busy, Kept, Reopened };
    // OK: opens the link `wanted` describes, or keeps the running one when where it goes is
    // unchanged (Record mode then applies without an outage). Busy while an opening runs.
    Opened openLink(const LinkSettings &wanted);
    bool isOpening() const { return opening_; }
    // Re-establishes the TCP link of the selected kind and closes the other one, then pauses
    // so the connection can come up.
    void reconnectTcpLink() override;
    // Reads the server link's allow-list (`AllowedPeers` in vorsa.ini's [ServerLink]); done at
    // start and again at every OK, so an edited list needs no restart.
    void loadAllowedPeers();
    // Once a second: a server link silent for too long is dropped and listens again.
    void onServerWatchdogTick();
    // Once a second: the data rate, and whether the link is silent.
    void onRateTick();

signals:
    void eventLogDue(const QString &message);
    void allowedPeersLoaded();
    // Record mode took effect on the link, or left it.
    void recordModeApplied(bool recordMode);

private:
    static bool sameDestination(const LinkSettings &a, const LinkSettings &b);
    void reopenLink();
    void showRoute();
    void onServerConnectionRequest();
    void onServerLinkReset();
    void applyRecordMode();
    void openSerialLink(quint8 address);
    void openTcpLink();
    void rateOfSerialLink();
    void rateOfClientLink();
    void rateOfClientStream();
    void showOffline();
    void showOnline();
    void logLinkChange(const QString &change);
    void refuse(const ServerLink::Peer &peer);

    LiveFields &fields_;
    Control &statusLine_;
    LinkSettings &settings_;
    LinkStatus &status_;
    DeviceLink &serial_;
    DeviceLink &client_;
    ServerLink &server_;
    Waiter &waiter_;
    const Clock &clock_;
    const ProgramFolder &folder_;
    bool onlineLogged_ = false;
    bool offlineLogged_ = false;
    int streamSilentSeconds_ = 0;
    bool opening_ = false;
    bool connecting_ = false;
    PeerAllowList allowedPeers_;
    QHash<QString, QDateTime> refusalLogged_; // by address
    PollState pollState_;
    Poller poller_;
    QTimer rateTimer_;
    QTimer serverWatchdog_;
};
