#include "LedPort.h"

#include "MonitorLog.h"

#include <QSerialPort>

namespace
{
// Bounds the wait for a message to leave; 45 bytes at 9600 baud take about 50 ms.
constexpr int WriteTimeoutMs = 200;
} // namespace

SerialLedPort::SerialLedPort() : port_(std::make_unique<QSerialPort>()) {}

SerialLedPort::~SerialLedPort() = default;

bool SerialLedPort::open(const QString &portName)
{
    port_->setPortName(portName);
    port_->setBaudRate(QSerialPort::Baud9600);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    port_->setReadBufferSize(1024);
    if (port_->open(QIODevice::ReadWrite))
        return true;
    qCDebug(lcMonitor) << "LED sign port" << portName << "not opened:" << port_->errorString();
    return false;
}

void SerialLedPort::discardInput()
{
    if (port_->isOpen())
        port_->clear(QSerialPort::Input);
}

void SerialLedPort::write(const QByteArray &bytes)
{
    if (!port_->isOpen())
        return;
    port_->write(bytes);
    // QSerialPort writes from the event loop; the port closes right after this message.
    port_->flush();
    if (port_->bytesToWrite() > 0)
        port_->waitForBytesWritten(WriteTimeoutMs);
}

void SerialLedPort::discardReceived()
{
    if (port_->isOpen())
        port_->readAll();
}

void SerialLedPort::close()
{
    if (port_->isOpen())
        port_->close();
}
