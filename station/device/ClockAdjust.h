#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class Clock;
class DeviceCommands;
class DeviceLink;
class TcpReconnect;
class LiveFields;
class QDateTime;
class RegisterWriter;
class Waiter;

// Sets the device's clock from the PC's clock every adjustment interval (counted in ticks of
// the ten-second clock timer) and on the operator's demand, unless the device keeps its clock
// by NTP.
class ClockAdjust : public QObject
{
    Q_OBJECT
public:
    static constexpr int FirstClockRegister = 152; // year, month, day, hour, minute, second
    static constexpr int CommitClock = 8;
    static constexpr int SettleBeforeFrameMs = 100;
    static constexpr int SettleBeforeCommitMs = 200;

    static constexpr double DefaultIntervalTicks = 360; // an hour of ten-second ticks

    ClockAdjust(const LiveFields &fields, DeviceCommands &commands, RegisterWriter &writer,
                const DeviceLink &client, TcpReconnect &reconnect, Waiter &waiter, Clock &clock,
                QObject *parent = nullptr);

    static constexpr int TickMs = 10000;

    // The ten-second tick runs for the whole session from here.
    void start() { timer_.start(); }
    QTimer &timer() { return timer_; }

    void onClockAdjustTick();
    void adjustClockNow();

    int tickCount() const { return tickCount_; }
    // Ticks between adjustments, as the operator typed them (a fraction rounds up).
    double interval() const { return interval_; }
    void setInterval(double ticks) { interval_ = ticks; }

    // The Modbus TCP write of the six clock registers (function 16) for the time `when`,
    // its second plus 1.
    static QByteArray clockFrame(quint8 unit, const QDateTime &when);

signals:
    // Every tick, before anything else: the LED sign's clock is refreshed from here.
    void ledClockDue();
    // The count of ticks since the last adjustment, each tick.
    void ticksCounted(int count);

private:
    bool dueNow() const;
    void adjust();
    void adjustOverSerial();
    void adjustOverTcp();

    const LiveFields &fields_;
    DeviceCommands &commands_;
    RegisterWriter &writer_;
    const DeviceLink &client_;
    TcpReconnect &reconnect_;
    Waiter &waiter_;
    Clock &clock_;
    int tickCount_ = 0;
    double interval_ = DefaultIntervalTicks;
    QTimer timer_;
};
