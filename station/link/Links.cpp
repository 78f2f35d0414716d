#include "Links.h"

#include "LinkLog.h"
#include "PeerAllowList.h"
#include "SerialSettings.h"
#include "common/Colours.h"
#include "common/Form.h"
#include "common/NumberText.h"
#include "common/Waiter.h"

#include <QHostAddress>
#include <QScopedValueRollback>

Links::Links(Form &form, Waiter &waiter, QObject *parent)
    : QObject(parent), form_(form), waiter_(waiter)
{
    serialRetry_.setInterval(SerialRetryMs);
    connect(&serialRetry_, &QTimer::timeout, this, &Links::retrySerial);
    connect(&serial_, &QSerialPort::readyRead, this, &Links::serialReadyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, &Links::onSerialError);
    connect(&client_, &QTcpSocket::connected, this, [this] { sendAtOnce(client_); });
    connect(&client_, &QTcpSocket::readyRead, this,
            [this] { emit clientBytes(client_.readAll()); });
    connect(&client_, &QTcpSocket::errorOccurred, this, [this] {
        qCInfo(lcLink) << "client link:" << client_.errorString();
        report(QStringLiteral("Link to %1:%2: %3")
                   .arg(client_.peerName())
                   .arg(client_.peerPort())
                   .arg(client_.errorString()));
    });
    connect(&listener_, &QTcpServer::newConnection, this, &Links::serverConnectionRequested);
}

Links::~Links()
{
    // Closing while members go away must not reach receivers that are already gone.
    serial_.disconnect(this);
    client_.disconnect(this);
    listener_.disconnect(this);
    if (accepted_)
        accepted_->disconnect(this);
}

bool Links::isClientConnected() const
{
    return client_.state() == QAbstractSocket::ConnectedState;
}

bool Links::isServerConnected() const
{
    return accepted_ && accepted_->state() == QAbstractSocket::ConnectedState;
}

void Links::sendClient(const QByteArray &bytes)
{
    // Callers check the state first; a link that dropped in between takes nothing.
    if (isClientConnected())
        send(client_, bytes);
}

void Links::sendServer(const QByteArray &bytes)
{
    if (isServerConnected())
        send(*accepted_, bytes);
}

// The device answers only once a request is out: it leaves now, not on the next turn of the
// event loop.
void Links::send(QTcpSocket &socket, const QByteArray &bytes)
{
    socket.write(bytes);
    socket.flush();
}

// Requests are small and each waits for its answer: none waits for the acknowledgement of the
// one before.
void Links::sendAtOnce(QTcpSocket &socket)
{
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

QString Links::serverPeerAddress() const
{
    if (!accepted_)
        return {};
    return plainPeerAddress(accepted_->peerAddress()).toString();
}

void Links::writeSerial(const QByteArray &bytes)
{
    if (serial_.isOpen())
        serial_.write(bytes);
}

qint64 Links::serialBytesWaiting() const
{
    return serial_.isOpen() ? serial_.bytesAvailable() : 0;
}

QByteArray Links::readSerial()
{
    return serial_.isOpen() ? serial_.readAll() : QByteArray();
}

void Links::ConnectTcpLink()
{
    // The pause below lets timers and receive handlers run, and they call this again when
    // they find the link down; the attempt already under way serves them.
    if (connecting_)
        return;
    QScopedValueRollback<bool> guard(connecting_, true);
    if (form_.optTCP.isChecked()) {
        connectClient();
        closeServer();
    } else {
        rearmServer();
        closeClient();
    }
    waiter_.pause(ConnectPauseMs);
}

void Links::connectClient()
{
    closeClient();
    const QString host = form_.txtIP.text().trimmed();
    qint64 port = 0;
    if (!NumberText::parseInteger(form_.txtPort.text(), &port) || port < 1 || port > 65535) {
        report(QStringLiteral("Cannot connect to %1: port \"%2\" is not a TCP port")
                   .arg(host, form_.txtPort.text()));
        return;
    }
    client_.connectToHost(host, quint16(port));
}

bool Links::openSerial(const QString &portName, const QString &settings)
{
    serialRetry_.stop();
    serial_.setPortName(portName);
    serialSettings_ = settings;
    QString error;
    if (!openSerialPort(&error)) {
        report(QStringLiteral("Cannot open serial port %1: %2").arg(portName, error));
        return false;
    }
    emit serialOpenChanged(true);
    return true;
}

bool Links::openSerialPort(QString *error)
{
    const std::optional<SerialSettings> parsed = SerialSettings::parse(serialSettings_, error);
    if (!parsed)
        return false;
    parsed->applyTo(serial_);
    if (serial_.open(QIODevice::ReadWrite))
        return true;
    *error = serial_.errorString();
    return false;
}

void Links::closeSerial()
{
    serialRetry_.stop();
    if (!serial_.isOpen())
        return;
    serial_.close();
    emit serialOpenChanged(false);
}

void Links::onSerialError(QSerialPort::SerialPortError error)
{
    // A vanished adapter reports a read error on every turn of the event loop until closed.
    if ((error != QSerialPort::ReadError && error != QSerialPort::ResourceError) ||
        !serial_.isOpen())
        return;
    const QString reason = serial_.errorString();
    serial_.close();
    form_.formBackColor.setBackColor(Colours::SilentLink);
    report(QStringLiteral("Serial port %1 lost: %2; reopening every second")
               .arg(serial_.portName(), reason));
    serialRetry_.start();
    emit serialOpenChanged(false);
}

void Links::retrySerial()
{
    QString error;
    if (serial_.isOpen() || !openSerialPort(&error))
        return;
    serialRetry_.stop();
    report(QStringLiteral("Serial port %1 is back").arg(serial_.portName()));
    emit serialOpenChanged(true);
}

void Links::closeClient()
{
    client_.abort();
    emit clientLinkReset();
}

void Links::closeServer()
{
    dropServerConnection();
    listener_.close();
}

void Links::rearmServer()
{
    dropServerConnection();
    listen();
}

void Links::listen()
{
    if (listener_.isListening() || listener_.listen(QHostAddress::Any, serverPort_))
        return;
    QString why = listener_.errorString();
    if (listener_.serverError() == QAbstractSocket::SocketAccessError && serverPort_ < 1024)
        why += QStringLiteral(" (ports below 1024 need root or cap_net_bind_service)");
    qCWarning(lcLink) << "cannot listen on port" << serverPort_ << why;
    // The server watchdog re-arms in every link kind; only the server link's failure matters.
    if (form_.optTCP_svr.isChecked())
        report(QStringLiteral("Cannot listen on TCP port %1: %2").arg(serverPort_).arg(why));
}

void Links::dropServerConnection()
{
    if (!accepted_)
        return;
    accepted_->disconnect(this);
    accepted_->abort();
    accepted_->deleteLater();
    accepted_ = nullptr;
    emit serverLinkReset();
}

QTcpSocket *Links::pendingSocket()
{
    if (!pending_)
        pending_ = listener_.nextPendingConnection();
    return pending_;
}

QTcpSocket *Links::takePending()
{
    QTcpSocket *socket = pendingSocket();
    pending_ = nullptr;
    return socket;
}

DeviceLinks::Peer Links::pendingServerPeer()
{
    const QTcpSocket *socket = pendingSocket();
    return socket ? Peer{socket->peerAddress(), socket->peerPort()} : Peer{};
}

void Links::acceptServerConnection()
{
    QTcpSocket *socket = takePending();
    if (!socket)
        return;
    dropServerConnection();
    accepted_ = socket;
    sendAtOnce(*socket);
    emit serverLinkReset();
    auto readAll = [this] {
        if (accepted_ && accepted_->bytesAvailable() > 0)
            emit serverBytes(accepted_->readAll());
    };
    connect(socket, &QTcpSocket::readyRead, this, readAll);
    connect(socket, &QTcpSocket::disconnected, this, &Links::serverLinkReset);
    // Bytes that came with the connection were announced before anyone listened.
    if (socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, readAll);
}

void Links::refuseServerConnection()
{
    if (QTcpSocket *socket = takePending()) {
        socket->abort();
        socket->deleteLater();
    }
}

void Links::report(const QString &message)
{
    qCInfo(lcLink) << message;
    form_.statusLine.setText(message);
}
