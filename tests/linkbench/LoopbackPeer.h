#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

// A listener on a free loopback port that keeps the one connection made to it and collects
// what arrives, standing in for a device or a Modbus server.
class LoopbackPeer : public QObject
{
public:
    LoopbackPeer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            link.reset(server.nextPendingConnection());
            connect(link.get(), &QTcpSocket::readyRead, this,
                    [this] { received += link->readAll(); });
        });
    }

    quint16 port() const { return server.serverPort(); }
    bool isLinked() const { return link && link->state() == QAbstractSocket::ConnectedState; }
    void write(const QByteArray &bytes) { link->write(bytes); }

    QByteArray received;

private:
    QTcpServer server;
    std::unique_ptr<QTcpSocket> link;
};

// A client of the tool's server side.
inline std::unique_ptr<QTcpSocket> connectedClient(quint16 port)
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, port);
    client->waitForConnected(5000);
    return client;
}
