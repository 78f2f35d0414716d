#pragma once

#include "DeviceLink.h"

#include <QSerialPort>
#include <QTimer>

class LinkStatus;

// The serial link over QSerialPort. What the device sends is handed on once the line has
// been quiet for the settle time, so a response is rarely cut in two; a port that vanishes
// (an unplugged adapter) is reopened every second.
class SerialLink : public DeviceLink
{
    Q_OBJECT
public:
    static constexpr int SettleMs = 20;
    static constexpr int RetryMs = 1000;

    explicit SerialLink(LinkStatus &status, QObject *parent = nullptr);
    ~SerialLink() override;

    // Opens `settings.serialPort` with `settings.serialSettings` ("19200,N,8,1").
    void open(const LinkSettings &settings) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    void send(const QByteArray &bytes) override;

    bool isRetrying() const { return retry_.isActive(); }
    // One attempt to reopen a port that vanished; the retry timer calls it.
    void retry();

signals:
    void openChanged(bool open);

private:
    bool openPort(QString *error);
    void onError(QSerialPort::SerialPortError error);
    void report(const QString &message);

    LinkStatus &status_;
    QSerialPort port_;
    QString settingsText_;
    QTimer retry_;
    QTimer settle_;
};
