#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class Clock;
class DeviceLink;
class LiveFields;
struct LinkSettings;
struct PollState;
class TcpReconnect;

// The poll: once a second it asks the device for data when the link needs it, then
// refreshes the PC clock fields and the "Server infomation" box.
class Poller : public QObject
{
    Q_OBJECT
public:
    Poller(LiveFields &fields, PollState &state, const LinkSettings &settings, DeviceLink &serial,
           DeviceLink &client, DeviceLink &server, TcpReconnect &reconnect, const Clock &clock,
           QObject *parent = nullptr);

    static constexpr int TickMs = 1000;

    // The tick runs while a link is open.
    void start() { timer_.start(); }
    void stop() { timer_.stop(); }
    QTimer &timer() { return timer_; }

    void onPollTick();

signals:
    // Each tick: the forecast a server sends through the device (intensity and seconds left),
    // or none (`shown` false).
    void serverForecast(bool shown, int intensity, int countdown);

private:
    // Each returns false when the tick must end because a socket is not connected.
    bool pollSerial();
    bool pollClient();
    bool pollServer();
    bool streamOnClient();
    bool readOnClient();
    bool sendClient(const QByteArray &frame);

    void showClock();
    void showServerInformation();

    LiveFields &fields_;
    PollState &state_;
    const LinkSettings &settings_;
    DeviceLink &serial_;
    DeviceLink &client_;
    DeviceLink &server_;
    TcpReconnect &reconnect_;
    const Clock &clock_;
    bool ticking_ = false;
    QTimer timer_;
};
