#pragma once

#include "DeviceLinks.h"

#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

class Form;
class Waiter;

// The real device links: the serial port `com`, the client socket `sck`, and the server link
// `sck_svr` (a listener plus the device's accepted connection). Nothing is decoded here: what
// the sockets read is handed on as it comes, and the serial bytes stay in the port for the
// serial decoder to read itself.
class Links : public QObject, public DeviceLinks
{
    Q_OBJECT
public:
    static constexpr quint16 DefaultServerPort = 502;
    static constexpr int ConnectPauseMs = 2000;
    static constexpr int SerialRetryMs = 1000;

    Links(Form &form, Waiter &waiter, QObject *parent = nullptr);
    ~Links() override;

    // The local port of the server link (502 unless tests or installations say otherwise).
    void setServerPort(quint16 port) { serverPort_ = port; }
    quint16 serverPort() const { return serverPort_; }
    bool isServerListening() const { return listener_.isListening(); }
    bool isSerialRetrying() const { return serialRetry_.isActive(); }

    bool isClientConnected() const override;
    bool isServerConnected() const override;
    void sendClient(const QByteArray &bytes) override;
    void sendServer(const QByteArray &bytes) override;
    QString serverPeerAddress() const override;

    void writeSerial(const QByteArray &bytes) override;
    qint64 serialBytesWaiting() const override;
    QByteArray readSerial() override;

    void ConnectTcpLink() override;

    bool openSerial(const QString &portName, const QString &settings) override;
    void closeSerial() override;
    bool isSerialOpen() const override { return serial_.isOpen(); }
    void closeClient() override;
    void closeServer() override;
    void rearmServer() override;
    Peer pendingServerPeer() override;
    void acceptServerConnection() override;
    void refuseServerConnection() override;

    // One attempt to reopen a serial port that vanished; the retry timer calls it.
    void retrySerial();

signals:
    void clientBytes(const QByteArray &bytes);
    void serverBytes(const QByteArray &bytes);
    void serialReadyRead();
    void serverConnectionRequested();
    void serialOpenChanged(bool open);
    // A connection was closed or replaced: a packet begun on it will never be finished.
    void clientLinkReset();
    void serverLinkReset();

private:
    void connectClient();
    static void send(QTcpSocket &socket, const QByteArray &bytes);
    static void sendAtOnce(QTcpSocket &socket);
    void listen();
    void dropServerConnection();
    QTcpSocket *pendingSocket();
    QTcpSocket *takePending();
    void onSerialError(QSerialPort::SerialPortError error);
    bool openSerialPort(QString *error);
    void report(const QString &message);

    Form &form_;
    Waiter &waiter_;
    QSerialPort serial_;
    QString serialSettings_;
    QTimer serialRetry_;
    QTcpSocket client_;
    QTcpServer listener_;
    QPointer<QTcpSocket> accepted_;
    QPointer<QTcpSocket> pending_; // asked to connect, not yet answered
    quint16 serverPort_ = DefaultServerPort;
    bool connecting_ = false;
};
