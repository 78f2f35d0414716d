#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>

#include <memory>

// A running vorsa-devsim, started on a free TCP port unless the arguments say otherwise.
class DevsimProcess
{
public:
    explicit DevsimProcess(const QStringList &arguments,
                           const QString &readyPrefix = "listening on ");
    ~DevsimProcess();

    bool isReady() const { return ready_; }
    quint16 port() const { return port_; }
    QString readyLine() const { return readyLine_; }
    QProcess &process() { return process_; }

    // Stops with SIGTERM; returns the exit code, or -1 when it did not end cleanly.
    int terminate();

    std::unique_ptr<QTcpSocket> connect();

private:
    QProcess process_;
    bool ready_ = false;
    quint16 port_ = 0;
    QString readyLine_;
};

// Blocking helpers with a bound, for raw Modbus and stream bytes.
QByteArray readExactly(QIODevice &device, int count, int timeoutMs = 3000);
QByteArray readAvailableWithin(QIODevice &device, int timeoutMs);
QByteArray tcpRequest(quint8 function, quint16 reg, quint16 value);
QByteArray tcpRequest16(quint16 reg, const QList<quint16> &values);
quint16 bigWord(const QByteArray &bytes, int offset);
quint16 littleWord(const QByteArray &bytes, int offset);
// Reads `count` registers from `start` over Modbus TCP; empty on any failure.
QList<quint16> readRegisters(QTcpSocket &socket, quint16 start, quint16 count);
bool writeRegister(QTcpSocket &socket, quint16 reg, quint16 value);
