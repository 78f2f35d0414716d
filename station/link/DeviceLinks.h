#pragma once

#include <QByteArray>
#include <QString>

// The device link as the frame writers and decoders see it: the serial port `com`, the
// client socket `sck` and the server-link socket `sck_svr`. The link manager implements it
// over QSerialPort, QTcpSocket and QTcpServer; tests use a fake.
class DeviceLinks
{
public:
    virtual ~DeviceLinks() = default;

    virtual bool isClientConnected() const = 0; // `sck` connected
    virtual bool isServerConnected() const = 0; // `sck_svr` connected
    virtual void sendClient(const QByteArray &bytes) = 0;
    virtual void sendServer(const QByteArray &bytes) = 0;
    virtual QString serverPeerAddress() const = 0;

    virtual void writeSerial(const QByteArray &bytes) = 0;
    virtual qint64 serialBytesWaiting() const = 0;
    virtual QByteArray readSerial() = 0; // everything waiting

    // Re-establishes the TCP link of the selected kind; returns once the link may be used.
    virtual void ConnectTcpLink() = 0;
};
