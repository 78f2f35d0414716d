#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// The device link as the frame writers, decoders and the link manager see it: the serial
// port `com`, the client socket `sck` and the server-link socket `sck_svr`. `Links`
// implements it over QSerialPort, QTcpSocket and QTcpServer; tests use a fake.
class DeviceLinks
{
public:
    struct Peer {
        QHostAddress address; // null when no connection is waiting
        quint16 port = 0;
    };

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

    // Opens the serial port with a settings text such as "19200,N,8,1". A port that cannot be
    // opened is reported to the operator; false then.
    virtual bool openSerial(const QString &portName, const QString &settings) = 0;
    virtual void closeSerial() = 0;
    virtual bool isSerialOpen() const = 0;
    virtual void closeClient() = 0;
    // Drops the device's connection on the server link and stops listening.
    virtual void closeServer() = 0;
    // Drops the device's connection on the server link and listens again.
    virtual void rearmServer() = 0;
    // The host asking to connect to the server link, before it is answered.
    virtual Peer pendingServerPeer() = 0;
    // The answer to a device asking to connect to the server link.
    virtual void acceptServerConnection() = 0;
    virtual void refuseServerConnection() = 0;
};
