#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QSerialPort;

// The LED sign's serial port at 9600 8N1, opened for one message at a time. Every step may
// fail; the caller ignores failures, so a step on a port that did not open does nothing.
class LedPort
{
public:
    virtual ~LedPort() = default;
    virtual bool open(const QString &portName) = 0;
    virtual void discardInput() = 0;
    virtual void write(const QByteArray &bytes) = 0;
    virtual void discardReceived() = 0;
    virtual void close() = 0;
};

class SerialLedPort : public LedPort
{
public:
    SerialLedPort();
    ~SerialLedPort() override;

    bool open(const QString &portName) override;
    void discardInput() override;
    void write(const QByteArray &bytes) override;
    void discardReceived() override;
    void close() override;

private:
    std::unique_ptr<QSerialPort> port_;
};
