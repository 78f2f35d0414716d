#include "FakeLinks.h"

void FakeLink::open(const LinkSettings &settings)
{
    owner_.actions << QStringLiteral("open ") + name_;
    openedWith = settings;
    opened = opens;
}

void FakeLink::close()
{
    owner_.actions << QStringLiteral("close ") + name_;
    opened = false;
}

void FakeLink::send(const QByteArray &bytes)
{
    sent << bytes;
    if (owner_.onSend)
        owner_.onSend();
}

void FakeLink::accept()
{
    owner_.actions << QStringLiteral("accept");
    opened = true;
}

void FakeLink::refuse()
{
    owner_.actions << QStringLiteral("refuse");
}

void FakeLinks::reconnectTcpLink()
{
    ++reconnects;
    actions << QStringLiteral("connect");
    (connectClient ? client : server).opened = connectSucceeds;
}
