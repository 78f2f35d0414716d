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
class Form;
class LinkStatus;
class ProgramFolder;
class Waiter;

// Opening and closing the device link, the server link's peer rules and watchdog, the
// data-rate display, and the poll that runs while a link is open.
class LinkManager : public QObject, public TcpReconnect
{
    Q_OBJECT
public:
    static constexpr int ServerSilenceLimit = 20; // seconds a server link may stay silent
    static constexpr int SerialRateShown = 50;    // rates from here on keep the old text
    static constexpr int ClientRateShown = 100;
    static constexpr int ServerRateShown = 100;    // the server link's rate is not counted
    static constexpr int StreamSilenceLimit = 3;   // seconds without a stream packet: offline
    static constexpr int RefusalLogSeconds = 3600; // one refusal line per address per hour
    static constexpr int ConnectPauseMs = 2000;    // a TCP connection's time to come up

    LinkManager(Form &form, LinkSettings &settings, LinkStatus &status, DeviceLink &serial,
                DeviceLink &client, ServerLink &server, Waiter &waiter, const Clock &clock,
                const ProgramFolder &folder, QObject *parent = nullptr);

    Poller &poller() { return poller_; }
    // Once a second each: the data rate, and the server link's silence watchdog.
    QTimer &rateTimer() { return rateTimer_; }
    QTimer &serverWatchdog() { return serverWatchdog_; }
    // The watchdog runs from start-up, so a device dialling in early is guarded too.
    void startServerWatchdog() { serverWatchdog_.start(); }
    // Engineer mode's controls, and the server option (which stays selectable while chosen).
    void showEngineeringControls(bool shown = true);
    // The device-writing buttons Record mode disables.
    static QList<Control *> recordModeLocks(Form &form);
    PollState &pollState() { return pollState_; }

    // Selects the link option; the server option becomes selectable when chosen this way.
    void selectLinkKind(LinkKind kind);

    // The connection page's OK: opens the selected link, or keeps the running one when where
    // it goes is unchanged, and shows the real-time view.
    void openLink();
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
    void selfTestSoundDue(); // "Voice Enable" is ticked: `voiceCommands[0]` is due
    void settingsSaveDue();
    // OK took the page's settings (before the link opens): what is not the link's own, such
    // as the voice files, applies now.
    void settingsConfirmed();
    void realTimeViewDue(); // the link is open: show the real-time view
    void eventLogDue(const QString &message);

private:
    void readSettingsFromForm();
    LinkSettings settingsFromForm() const;
    static bool sameDestination(const LinkSettings &a, const LinkSettings &b);
    void reopenLink(std::optional<quint8> address);
    void showRoute();
    void readKindFromForm();
    void onServerConnectionRequest();
    void onServerLinkReset();
    std::optional<quint8> serialAddress() const;
    void applyRecordMode();
    void openSerialLink(quint8 address);
    void openTcpLink();
    void resetLiveView();
    void rateOfSerialLink();
    void rateOfClientLink();
    void rateOfClientStream();
    void showOffline();
    void showOnline();
    void logLinkChange(const QString &change);
    void refuse(const ServerLink::Peer &peer);

    Form &form_;
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
