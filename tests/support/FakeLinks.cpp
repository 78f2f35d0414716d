#include "FakeLinks.h"

void FakeLinks::sendClient(const QByteArray &bytes)
{
    clientSends << bytes;
    if (onSend)
        onSend();
}

void FakeLinks::sendServer(const QByteArray &bytes)
{
    serverSends << bytes;
    if (onSend)
        onSend();
}

QByteArray FakeLinks::readSerial()
{
    QByteArray all = serialInput;
    serialInput.clear();
    return all;
}

void FakeLinks::ConnectTcpLink()
{
    ++reconnects;
    actions << QStringLiteral("connect");
    if (connectClient)
        clientConnected = connectSucceeds;
    else
        serverConnected = connectSucceeds;
}

bool FakeLinks::openSerial(const QString &portName, const QString &settings)
{
    actions << QStringLiteral("openSerial %1 %2").arg(portName, settings);
    serialOpen = openSucceeds;
    return serialOpen;
}

void FakeLinks::closeSerial()
{
    actions << QStringLiteral("closeSerial");
    serialOpen = false;
}

void FakeLinks::closeClient()
{
    actions << QStringLiteral("closeClient");
    clientConnected = false;
}

void FakeLinks::closeServer()
{
    actions << QStringLiteral("closeServer");
    serverConnected = false;
}

void FakeLinks::rearmServer()
{
    actions << QStringLiteral("rearmServer");
    serverConnected = false;
}

void FakeLinks::acceptServerConnection()
{
    actions << QStringLiteral("accept");
    serverConnected = true;
}

void FakeLinks::refuseServerConnection()
{
    actions << QStringLiteral("refuse");
}
