#include "SerialLink.h"

#include "LinkLog.h"
#include "LinkSettings.h"
#include "LinkStatus.h"
#include "SerialSettings.h"

SerialLink::SerialLink(LinkStatus &status, QObject *parent) : DeviceLink(parent), status_(status)
{
    retry_.setInterval(RetryMs);
    connect(&retry_, &QTimer::timeout, this, &SerialLink::retry);
    settle_.setSingleShot(true);
    settle_.setInterval(SettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (port_.isOpen())
            emit bytesReceived(port_.readAll());
    });
    // The first notification starts the settle time; those inside it add nothing.
    connect(&port_, &QSerialPort::readyRead, this, [this] {
        if (!settle_.isActive())
            settle_.start();
    });
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::onError);
}

SerialLink::~SerialLink()
{
    // Closing while members go away must not reach receivers that are already gone.
    port_.disconnect(this);
}

void SerialLink::open(const LinkSettings &settings)
{
    retry_.stop();
    port_.setPortName(settings.serialPort);
    settingsText_ = settings.serialSettings;
    QString error;
    if (!openPort(&error)) {
        report(QStringLiteral("Cannot open serial port %1: %2").arg(settings.serialPort, error));
        return;
    }
    emit openChanged(true);
}

bool SerialLink::openPort(QString *error)
{
    const std::optional<SerialSettings> parsed = SerialSettings::parse(settingsText_, error);
    if (!parsed)
        return false;
    parsed->applyTo(port_);
    if (port_.open(QIODevice::ReadWrite))
        return true;
    *error = port_.errorString();
    return false;
}

void SerialLink::close()
{
    retry_.stop();
    if (!port_.isOpen())
        return;
    port_.close();
    emit reset();
    emit openChanged(false);
}

void SerialLink::send(const QByteArray &bytes)
{
    if (port_.isOpen())
        port_.write(bytes);
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    // A vanished adapter reports a read error on every turn of the event loop until closed.
    if ((error != QSerialPort::ReadError && error != QSerialPort::ResourceError) || !port_.isOpen())
        return;
    const QString reason = port_.errorString();
    port_.close();
    emit reset();
    status_.setSilent(true);
    report(QStringLiteral("Serial port %1 lost: %2; reopening every second")
               .arg(port_.portName(), reason));
    retry_.start();
    emit openChanged(false);
}

void SerialLink::retry()
{
    QString error;
    if (port_.isOpen() || !openPort(&error))
        return;
    retry_.stop();
    report(QStringLiteral("Serial port %1 is back").arg(port_.portName()));
    emit openChanged(true);
}

void SerialLink::report(const QString &message)
{
    qCInfo(lcLink) << message;
    status_.reportError(message);
}
