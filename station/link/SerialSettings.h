#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

// The serial settings text of the connection page: baud, parity letter, data bits and stop
// bits separated by commas, as in "19200,N,8,1".
struct SerialSettings {
    qint32 baudRate = 19200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // No value when the text is not a settings text; `error` then says what is wrong.
    static std::optional<SerialSettings> parse(const QString &text, QString *error = nullptr);
    void applyTo(QSerialPort &port) const;
};
