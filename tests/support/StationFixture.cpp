#include "StationFixture.h"
#include "FreePort.h"
#include "link/TcpServerLink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

StationFixture::StationFixture(LinkKind kind)
{
    station = std::make_unique<Station>(StationServices{
        ProgramFolder(dir.path()), clock, waiter, sound, shell, prompter, strip1, strip2, strip3,
        kind == LinkKind::Fake ? StationLinks{&links.serial, &links.client, &links.server}
                               : StationLinks{}});
}

void StationFixture::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray StationFixture::readFile(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList StationFixture::logLines() const
{
    return logLinesIn(home(), clock.now().date());
}

QStringList StationFixture::logLinesIn(const QString &home, const QDate &d)
{
    QFile file(QDir(home).filePath(QStringLiteral("Event/%1%2.txt").arg(d.year()).arg(d.month())));
    const QByteArray all = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QStringList lines = QString::fromUtf8(all).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void StationFixture::useClientLinkTo(quint16 port)
{
    ConnectionPage &connection = station->connectionPage();
    connection.hostField.setText(QStringLiteral("127.0.0.1"));
    connection.portField.setText(QString::number(port));
}

quint16 StationFixture::useServerLinkOnFreePort()
{
    const quint16 port = freePort();
    station->linkSettings().serverPort = port;
    station->connectionPage().selectLinkKind(::LinkKind::TcpServer);
    return port;
}

void StationFixture::stopOneSecondTimers()
{
    LinkManager &manager = station->linkManager();
    for (QTimer *timer :
         {&manager.poller().timer(), &manager.rateTimer(), &manager.serverWatchdog()})
        timer->stop();
}
