#include "TcpServerLink.h"

#include "LinkLog.h"
#include "LinkSettings.h"
#include "LinkStatus.h"
#include "PeerAllowList.h"

#include <QTimer>

TcpServerLink::TcpServerLink(LinkStatus &status, QObject *parent)
    : ServerLink(parent), status_(status)
{
    connect(&listener_, &QTcpServer::newConnection, this, &ServerLink::connectionRequested);
}

TcpServerLink::~TcpServerLink()
{
    listener_.disconnect(this);
    if (accepted_)
        accepted_->disconnect(this);
}

void TcpServerLink::open(const LinkSettings &settings)
{
    dropConnection();
    listen(settings);
}

void TcpServerLink::close()
{
    dropConnection();
    listener_.close();
}

void TcpServerLink::listen(const LinkSettings &settings)
{
    const quint16 port = settings.serverPort;
    if (listener_.isListening() || listener_.listen(QHostAddress::Any, port))
        return;
    QString why = listener_.errorString();
    if (listener_.serverError() == QAbstractSocket::SocketAccessError && port < 1024)
        why += QStringLiteral(" (ports below 1024 need root or cap_net_bind_service)");
    qCWarning(lcLink) << "cannot listen on port" << port << why;
    // The server watchdog re-arms in every link kind; only the server link's failure matters.
    if (settings.kind != LinkKind::TcpServer)
        return;
    const QString message = QStringLiteral("Cannot listen on TCP port %1: %2").arg(port).arg(why);
    qCInfo(lcLink) << message;
    status_.reportError(message);
}

bool TcpServerLink::isOpen() const
{
    return accepted_ && accepted_->state() == QAbstractSocket::ConnectedState;
}

void TcpServerLink::send(const QByteArray &bytes)
{
    if (!isOpen())
        return;
    accepted_->write(bytes);
    accepted_->flush();
}

QString TcpServerLink::peerAddress() const
{
    if (!accepted_)
        return {};
    return plainPeerAddress(accepted_->peerAddress()).toString();
}

void TcpServerLink::dropConnection()
{
    if (!accepted_)
        return;
    accepted_->disconnect(this);
    accepted_->abort();
    accepted_->deleteLater();
    accepted_ = nullptr;
    emit reset();
}

QTcpSocket *TcpServerLink::pendingSocket()
{
    if (!pending_)
        pending_ = listener_.nextPendingConnection();
    return pending_;
}

QTcpSocket *TcpServerLink::takePending()
{
    QTcpSocket *socket = pendingSocket();
    pending_ = nullptr;
    return socket;
}

ServerLink::Peer TcpServerLink::pendingPeer()
{
    const QTcpSocket *socket = pendingSocket();
    return socket ? Peer{socket->peerAddress(), socket->peerPort()} : Peer{};
}

void TcpServerLink::accept()
{
    QTcpSocket *socket = takePending();
    if (!socket)
        return;
    dropConnection();
    accepted_ = socket;
    // Requests are small and each waits for its answer: none waits for the acknowledgement of
    // the one before.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit reset();
    connect(socket, &QTcpSocket::readyRead, this, &TcpServerLink::readAll);
    connect(socket, &QTcpSocket::disconnected, this, &DeviceLink::reset);
    // Bytes that came with the connection were announced before anyone listened.
    if (socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &TcpServerLink::readAll);
}

void TcpServerLink::readAll()
{
    if (accepted_ && accepted_->bytesAvailable() > 0)
        emit bytesReceived(accepted_->readAll());
}

void TcpServerLink::refuse()
{
    if (QTcpSocket *socket = takePending()) {
        socket->abort();
        socket->deleteLater();
    }
}
