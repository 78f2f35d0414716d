#pragma once

#include "DeviceLink.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class LinkStatus;

// The server link: the station listens and the device connects to it. One connection is held
// at a time; the link manager answers each new one.
class TcpServerLink : public ServerLink
{
    Q_OBJECT
public:
    explicit TcpServerLink(LinkStatus &status, QObject *parent = nullptr);
    ~TcpServerLink() override;

    // Drops the device's connection and listens (again) on `settings.serverPort`.
    void open(const LinkSettings &settings) override;
    // Drops the device's connection and stops listening.
    void close() override;
    bool isOpen() const override;
    void send(const QByteArray &bytes) override;

    Peer pendingPeer() override;
    void accept() override;
    void refuse() override;
    QString peerAddress() const override;

    bool isListening() const { return listener_.isListening(); }
    quint16 port() const { return listener_.serverPort(); }

private:
    void listen(const LinkSettings &settings);
    void dropConnection();
    QTcpSocket *pendingSocket();
    QTcpSocket *takePending();
    void readAll();

    LinkStatus &status_;
    QTcpServer listener_;
    QPointer<QTcpSocket> accepted_;
    QPointer<QTcpSocket> pending_; // asked to connect, not yet answered
};
