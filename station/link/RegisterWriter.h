#pragma once

#include "LinkSettings.h"

#include <QByteArray>

class DeviceLink;
struct PollState;
class TcpReconnect;
class Waiter;

// What became of one write; a refused value never leaves the station.
enum class WriteOutcome {
    Sent,     // written to the serial port (its echo is consumed by the receive path)
    Answered, // sent on a TCP link and some packet arrived afterwards
    NoAnswer, // sent on a TCP link; the device stayed silent until the time-out
    NoLink,   // no TCP link was connected: nothing sent
    Refused,  // register or value outside the 16-bit range: nothing sent
};

// Single-register writes on the link in use.
class RegisterWriter
{
public:
    // How long a TCP write waits for any packet from a silent device.
    static constexpr int ReplyTimeoutMs = 2000;
    static constexpr int WaitStepMs = 60;

    RegisterWriter(PollState &state, const LinkSettings &settings, DeviceLink &serial,
                   DeviceLink &client, DeviceLink &server, TcpReconnect &reconnect, Waiter &waiter);

    WriteOutcome writeRegisterSerial(qint64 reg, qint64 value);
    WriteOutcome writeRegisterTcp(qint64 reg, qint64 value);
    // The serial one when "Modbus_RTU" is selected, else the TCP one.
    WriteOutcome writeRegister(qint64 reg, qint64 value);

    // Sends a ready frame on the TCP link in use (reconnecting the client link once when it is
    // down) and waits, processing events, until any packet arrives; shared with the clock
    // frame. The wait ends at once when nothing could be sent.
    WriteOutcome sendTcpAndWait(const QByteArray &frame);

    // The handshake the writes take part in: a device command marks itself in progress there.
    PollState &pollState() { return state_; }
    // The transport writes go out on.
    LinkKind linkKind() const { return settings_.kind; }

private:
    PollState &state_;
    const LinkSettings &settings_;
    DeviceLink &serial_;
    DeviceLink &client_;
    DeviceLink &server_;
    TcpReconnect &reconnect_;
    Waiter &waiter_;
};
