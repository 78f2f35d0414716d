#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

struct LinkSettings;

// One transport to the device. The poll, the decoder and register writes see a link only
// through this; `SerialLink`, `TcpClientLink` and `TcpServerLink` implement it, tests a fake.
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens (or re-establishes) the link with what `settings` say for its kind. A link that
    // cannot open tells the operator why.
    virtual void open(const LinkSettings &settings) = 0;
    virtual void close() = 0;
    // Bytes sent now reach the device.
    virtual bool isOpen() const = 0;
    // A link that is not open takes the bytes without harm.
    virtual void send(const QByteArray &bytes) = 0;

signals:
    void bytesReceived(const QByteArray &bytes);
    // The connection was closed or replaced: a packet begun on it will never be finished.
    void reset();
};

// The server link: the device connects to the station, and the link manager decides who
// may stay.
class ServerLink : public DeviceLink
{
    Q_OBJECT
public:
    struct Peer {
        QHostAddress address; // null when no connection is waiting
        quint16 port = 0;
    };

    using DeviceLink::DeviceLink;

    // The host asking to connect, before it is answered.
    virtual Peer pendingPeer() = 0;
    // Takes the waiting connection in place of the one held.
    virtual void accept() = 0;
    virtual void refuse() = 0;
    // The address of the accepted connection's host; empty without one.
    virtual QString peerAddress() const = 0;

signals:
    void connectionRequested();
};

// Brings the TCP link of the selected kind back when it is found down.
class TcpReconnect
{
public:
    virtual ~TcpReconnect() = default;
    // Returns once the link may be used (or the attempt has failed).
    virtual void reconnectTcpLink() = 0;
};
