#pragma once

#include "link/DeviceLink.h"
#include "link/LinkSettings.h"

#include <QList>
#include <QStringList>
#include <functional>

class FakeLinks;

// One transport that records what the station sends; whether it is open is set by the test,
// and what it receives is handed in with `receive`. Every open, close and answer to a
// connection request is logged in its owner's `actions` ("open serial", "close client",
// "accept", "refuse" ...).
class FakeLink : public ServerLink
{
public:
    FakeLink(const QString &name, FakeLinks &owner) : name_(name), owner_(owner) {}

    void open(const LinkSettings &settings) override;
    void close() override;
    bool isOpen() const override { return opened; }
    void send(const QByteArray &bytes) override;
    Peer pendingPeer() override { return waitingPeer; }
    void accept() override;
    void refuse() override;
    QString peerAddress() const override { return peer; }

    void receive(const QByteArray &bytes) { emit bytesReceived(bytes); }

    bool opened = false;
    bool opens = true;       // what `open` does
    LinkSettings openedWith; // the settings of the last `open`
    QList<QByteArray> sent;
    QString peer = QStringLiteral("127.0.0.1");
    Peer waitingPeer{QHostAddress(QStringLiteral("127.0.0.1")), 40001};

private:
    QString name_;
    FakeLinks &owner_;
};

// The three transports, and a reconnect that brings back the chosen TCP link ("connect" in
// `actions`). `onSend` runs after every send on any of them (a test can answer from there).
class FakeLinks : public TcpReconnect
{
public:
    void reconnectTcpLink() override;

    QStringList actions;
    std::function<void()> onSend;
    FakeLink serial{QStringLiteral("serial"), *this};
    FakeLink client{QStringLiteral("client"), *this};
    FakeLink server{QStringLiteral("server"), *this};

    bool connectSucceeds = true; // what `reconnectTcpLink` does to the chosen link
    bool connectClient = true;   // which link `reconnectTcpLink` brings back
    int reconnects = 0;

    // What the station wrote to each link, and whether each is open.
    QList<QByteArray> &serialWrites = serial.sent;
    QList<QByteArray> &clientSends = client.sent;
    QList<QByteArray> &serverSends = server.sent;
    bool &serialOpen = serial.opened;
    bool &clientConnected = client.opened;
    bool &serverConnected = server.opened;
};
