#include "SerialSettings.h"

#include "common/NumberText.h"

#include <QStringList>

namespace
{

std::optional<QSerialPort::Parity> parityOf(const QString &letter)
{
    const QString l = letter.toUpper();
    if (l == QLatin1String("N"))
        return QSerialPort::NoParity;
    if (l == QLatin1String("E"))
        return QSerialPort::EvenParity;
    if (l == QLatin1String("O"))
        return QSerialPort::OddParity;
    if (l == QLatin1String("M"))
        return QSerialPort::MarkParity;
    if (l == QLatin1String("S"))
        return QSerialPort::SpaceParity;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> stopBitsOf(const QString &text)
{
    if (text == QLatin1String("1"))
        return QSerialPort::OneStop;
    if (text == QLatin1String("1.5"))
        return QSerialPort::OneAndHalfStop;
    if (text == QLatin1String("2"))
        return QSerialPort::TwoStop;
    return std::nullopt;
}

std::optional<SerialSettings> fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

} // namespace

std::optional<SerialSettings> SerialSettings::parse(const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return fail(error,
                    QStringLiteral("\"%1\" is not baud,parity,data bits,stop bits").arg(text));
    SerialSettings s;
    qint64 baud = 0, dataBits = 0;
    if (!NumberText::parseInteger(parts[0], &baud) || baud <= 0 || baud > 4000000)
        return fail(error, QStringLiteral("baud rate \"%1\" is not valid").arg(parts[0]));
    const auto parity = parityOf(parts[1].trimmed());
    if (!parity)
        return fail(error, QStringLiteral("parity \"%1\" is not N, E, O, M or S").arg(parts[1]));
    if (!NumberText::parseInteger(parts[2], &dataBits) || dataBits < 5 || dataBits > 8)
        return fail(error, QStringLiteral("data bits \"%1\" are not 5 to 8").arg(parts[2]));
    const auto stopBits = stopBitsOf(parts[3].trimmed());
    if (!stopBits)
        return fail(error, QStringLiteral("stop bits \"%1\" are not 1, 1.5 or 2").arg(parts[3]));
    s.baudRate = qint32(baud);
    s.parity = *parity;
    s.dataBits = QSerialPort::DataBits(dataBits);
    s.stopBits = *stopBits;
    return s;
}

void SerialSettings::applyTo(QSerialPort &port) const
{
    port.setBaudRate(baudRate);
    port.setParity(parity);
    port.setDataBits(dataBits);
    port.setStopBits(stopBits);
    port.setFlowControl(QSerialPort::NoFlowControl);
}
