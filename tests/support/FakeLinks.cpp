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
    if (connectClient)
        clientConnected = connectSucceeds;
    else
        serverConnected = connectSucceeds;
}
