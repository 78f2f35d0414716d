#include "TcpTap.h"

TcpTap::TcpTap(quint16 targetPort, QObject *parent) : QObject(parent), targetPort_(targetPort)
{
    listener_.listen(QHostAddress::LocalHost, 0);
    connect(&listener_, &QTcpServer::newConnection, this, &TcpTap::join);
}

bool TcpTap::isJoined() const
{
    return connector_ && target_ && target_->state() == QAbstractSocket::ConnectedState;
}

void TcpTap::join()
{
    QTcpSocket *incoming = listener_.nextPendingConnection();
    if (connector_ || !incoming) {
        delete incoming;
        return;
    }
    connector_ = incoming;
    target_ = new QTcpSocket(this);
    connect(connector_, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = connector_->readAll();
        if (holding_)
            return;
        fromConnector += bytes;
        if (target_->state() == QAbstractSocket::ConnectedState)
            target_->write(bytes);
    });
    // What the connecting side sent while the target was still being reached goes first.
    connect(target_, &QTcpSocket::connected, this, [this] { target_->write(fromConnector); });
    connect(target_, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = target_->readAll();
        if (holding_)
            return;
        fromTarget += bytes;
        connector_->write(bytes);
    });
    target_->connectToHost(QHostAddress::LocalHost, targetPort_);
}
