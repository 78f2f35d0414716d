#pragma once

#include <QTcpServer>
#include <QTcpSocket>

// A listening socket that hands each connection request over as a descriptor, so that the
// request can be accepted on a socket chosen by the tool instead of a fresh one.
class ListeningSocket : public QTcpServer
{
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

signals:
    void connectionRequest(qintptr requestID);

protected:
    void incomingConnection(qintptr requestID) override;
};

// One accepted connection; Tag is its row text in the list of connections.
class TaggedSocket : public QTcpSocket
{
    Q_OBJECT
public:
    using QTcpSocket::QTcpSocket;

    QString Tag;
};
