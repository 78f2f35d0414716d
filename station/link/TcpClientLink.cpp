#include "TcpClientLink.h"

#include "LinkLog.h"
#include "LinkSettings.h"
#include "LinkStatus.h"
#include "common/NumberText.h"

TcpClientLink::TcpClientLink(LinkStatus &status, QObject *parent)
    : DeviceLink(parent), status_(status)
{
    connect(&socket_, &QTcpSocket::connected, this,
            [this] { socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    connect(&socket_, &QTcpSocket::readyRead, this,
            [this] { emit bytesReceived(socket_.readAll()); });
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] {
        qCInfo(lcLink) << "client link:" << socket_.errorString();
        // The peer's name and port are empty until a connection stands: name what was dialled.
        report(QStringLiteral("Link to %1: %2").arg(dialled_, socket_.errorString()));
    });
}

TcpClientLink::~TcpClientLink()
{
    socket_.disconnect(this);
}

void TcpClientLink::open(const LinkSettings &settings)
{
    close();
    const QString host = settings.host.trimmed();
    qint64 port = 0;
    if (!NumberText::parseInteger(settings.port, &port) || port < 1 || port > 65535) {
        report(QStringLiteral("Cannot connect to %1: port \"%2\" is not a TCP port")
                   .arg(host, settings.port));
        return;
    }
    dialled_ = host + QLatin1Char(':') + QString::number(port);
    socket_.connectToHost(host, quint16(port));
}

void TcpClientLink::close()
{
    socket_.abort();
    emit reset();
}

bool TcpClientLink::isOpen() const
{
    return socket_.state() == QAbstractSocket::ConnectedState;
}

// The device answers only once a request is out: it leaves now, not on the next turn of the
// event loop.
void TcpClientLink::send(const QByteArray &bytes)
{
    if (!isOpen())
        return;
    socket_.write(bytes);
    socket_.flush();
}

void TcpClientLink::report(const QString &message)
{
    qCInfo(lcLink) << message;
    status_.reportError(message);
}
