#pragma once

#include "link/DeviceLinks.h"

#include <QList>
#include <QStringList>
#include <functional>

// Records what the station writes to each link; connection states and the serial input are
// set by the test. `onSend` runs after every TCP send (a test can answer from there).
// Link management calls are kept in order in `actions` ("openSerial PORT SETTINGS",
// "closeSerial", "closeClient", "closeServer", "rearmServer", "accept", "refuse", "connect").
class FakeLinks : public DeviceLinks
{
public:
    bool isClientConnected() const override { return clientConnected; }
    bool isServerConnected() const override { return serverConnected; }
    void sendClient(const QByteArray &bytes) override;
    void sendServer(const QByteArray &bytes) override;
    QString serverPeerAddress() const override { return peerAddress; }
    void writeSerial(const QByteArray &bytes) override { serialWrites << bytes; }
    qint64 serialBytesWaiting() const override { return serialInput.size(); }
    QByteArray readSerial() override;
    void ConnectTcpLink() override;

    bool openSerial(const QString &portName, const QString &settings) override;
    void closeSerial() override;
    bool isSerialOpen() const override { return serialOpen; }
    void closeClient() override;
    void closeServer() override;
    void rearmServer() override;
    Peer pendingServerPeer() override { return pendingPeer; }
    void acceptServerConnection() override;
    void refuseServerConnection() override;

    bool clientConnected = false;
    bool serverConnected = false;
    bool serialOpen = false;
    bool openSucceeds = true;    // what openSerial does
    bool connectSucceeds = true; // what ConnectTcpLink does to the selected kind's socket
    bool connectClient = true;   // which socket ConnectTcpLink re-establishes
    int reconnects = 0;
    QString peerAddress = QStringLiteral("127.0.0.1");
    Peer pendingPeer{QHostAddress(QStringLiteral("127.0.0.1")), 40001};
    QByteArray serialInput;
    QList<QByteArray> clientSends, serverSends, serialWrites;
    QStringList actions;
    std::function<void()> onSend;
};
