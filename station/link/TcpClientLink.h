#pragma once

#include "DeviceLink.h"

#include <QTcpSocket>

class LinkStatus;

// The client link: the station connects to the device's Modbus TCP port. Requests are small
// and each waits for its answer, so they leave at once, without Nagle's delay.
class TcpClientLink : public DeviceLink
{
    Q_OBJECT
public:
    explicit TcpClientLink(LinkStatus &status, QObject *parent = nullptr);
    ~TcpClientLink() override;

    // Drops the connection held and connects to `settings.host`:`settings.port`.
    void open(const LinkSettings &settings) override;
    void close() override;
    bool isOpen() const override;
    void send(const QByteArray &bytes) override;

private:
    void report(const QString &message);

    LinkStatus &status_;
    QTcpSocket socket_;
    QString dialled_; // "host:port" of the last connection attempt
};
