#include "StationFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

StationFixture::StationFixture(LinkKind kind)
{
    station = std::make_unique<Station>(
        StationServices{ProgramFolder(dir.path()), clock, waiter, sound, shell, prompter, strip1,
                        strip2, strip3, kind == LinkKind::Fake ? &links : nullptr});
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
    const QDate d = clock.now().date();
    const QByteArray all = readFile(QStringLiteral("Event/%1%2.txt").arg(d.year()).arg(d.month()));
    QStringList lines = QString::fromUtf8(all).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
