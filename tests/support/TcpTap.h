#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A TCP relay on 127.0.0.1 that keeps a copy of what it passes on: whoever connects to it is
// joined to the target, byte for byte both ways. A test compares what a peer really sent
// with what the other side made of it. One connection at a time.
class TcpTap : public QObject
{
    Q_OBJECT
public:
    TcpTap(quint16 targetPort, QObject *parent = nullptr);

    quint16 port() const { return listener_.serverPort(); }
    bool isJoined() const;
    // Stops passing bytes on (they are read and dropped, both ways), so that each side can
    // catch up with what it was sent and be compared with it.
    void hold() { holding_ = true; }

    QByteArray fromConnector; // passed on from the side that connected to the tap
    QByteArray fromTarget;    // passed on from the target

private:
    void join();

    quint16 targetPort_;
    QTcpServer listener_;
    QPointer<QTcpSocket> connector_;
    QPointer<QTcpSocket> target_;
    bool holding_ = false;
};
