#pragma once

#include <QObject>
#include <QTimer>

class LinkStatus;

// What the service manager learns of a station it runs as a notify service: that start-up is
// done, the link's state as a status line, and that the event loop still turns. The pings
// come from the loop itself, so a loop that hangs stops them and systemd restarts the station.
// Outside such a service (no NOTIFY_SOCKET) nothing is sent.
class ServiceNotifier : public QObject
{
    Q_OBJECT
public:
    // Starts the pings when the service asks for a watchdog (WATCHDOG_USEC).
    explicit ServiceNotifier(QObject *parent = nullptr);

    // Status lines follow the link's state from now on.
    void followLink(const LinkStatus &link);
    // Folders and link are set up: READY with the link's state.
    void notifyReady();
    void notifyStopping();

private:
    static QString linkStateText(const LinkStatus &link);
    void send(const QByteArray &state);
    void sendLinkState();

    QTimer pingTimer_;
    const LinkStatus *link_ = nullptr;
    QString sentLinkState_;
    bool failureTold_ = false;
};
