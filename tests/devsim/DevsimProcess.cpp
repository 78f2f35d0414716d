#include "DevsimProcess.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

DevsimProcess::DevsimProcess(const QStringList &arguments, const QString &readyPrefix)
{
    process_.setProgram(DEVSIM_PROGRAM);
    QStringList args = arguments;
    if (readyPrefix == "listening on " && !args.contains("--tcp"))
        args << "--tcp"
             << "0";
    process_.setArguments(args);
    process_.start();
    if (!process_.waitForStarted(5000))
        return;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && !process_.canReadLine())
        process_.waitForReadyRead(int(deadline.remainingTime()));
    while (process_.canReadLine()) {
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        if (line.startsWith(readyPrefix)) {
            readyLine_ = line;
            port_ = line.mid(readyPrefix.size()).toUShort();
            ready_ = true;
            return;
        }
    }
}

DevsimProcess::~DevsimProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

int DevsimProcess::terminate()
{
    process_.terminate();
    if (!process_.waitForFinished(3000) || process_.exitStatus() != QProcess::NormalExit)
        return -1;
    return process_.exitCode();
}

std::unique_ptr<QTcpSocket> DevsimProcess::connect()
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost("127.0.0.1", port_);
    if (!socket->waitForConnected(3000))
        return nullptr;
    return socket;
}

QByteArray readExactly(QIODevice &device, int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (device.bytesAvailable() < count && !deadline.hasExpired())
        device.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    return device.read(count);
}

QByteArray readAvailableWithin(QIODevice &device, int timeoutMs)
{
    device.waitForReadyRead(timeoutMs);
    return device.readAll();
}

QByteArray tcpRequest(quint8 function, quint16 reg, quint16 value)
{
    QByteArray out("\x00\x01\x00\x00\x00\x06\x01", 7);
    out.append(char(function));
    out.append(char(reg >> 8)).append(char(reg & 0xFF));
    out.append(char(value >> 8)).append(char(value & 0xFF));
    return out;
}

QByteArray tcpRequest16(quint16 reg, const QList<quint16> &values)
{
    const int byteCount = 2 * int(values.size());
    QByteArray out("\x00\x02\x00\x00\x00", 5);
    out.append(char(7 + byteCount));
    out.append(char(1)).append(char(16));
    out.append(char(reg >> 8)).append(char(reg & 0xFF));
    out.append(char(0)).append(char(values.size()));
    out.append(char(byteCount));
    for (quint16 v : values)
        out.append(char(v >> 8)).append(char(v & 0xFF));
    return out;
}

quint16 bigWord(const QByteArray &bytes, int offset)
{
    return quint16(quint8(bytes[offset]) << 8 | quint8(bytes[offset + 1]));
}

quint16 littleWord(const QByteArray &bytes, int offset)
{
    return quint16(quint8(bytes[offset]) | quint8(bytes[offset + 1]) << 8);
}

QList<quint16> readRegisters(QTcpSocket &socket, quint16 start, quint16 count)
{
    socket.write(tcpRequest(3, start, count));
    const QByteArray answer = readExactly(socket, 9 + 2 * count);
    QList<quint16> out;
    if (answer.size() != 9 + 2 * count || quint8(answer[8]) != 2 * count)
        return out;
    for (int i = 0; i < count; ++i)
        out << bigWord(answer, 9 + 2 * i);
    return out;
}

bool writeRegister(QTcpSocket &socket, quint16 reg, quint16 value)
{
    const QByteArray request = tcpRequest(6, reg, value);
    socket.write(request);
    return readExactly(socket, 12) == request;
}
