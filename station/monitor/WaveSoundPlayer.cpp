#include "WaveSoundPlayer.h"

#include "MonitorLog.h"

#include <QFile>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

WaveSoundPlayer::WaveSoundPlayer(QObject *parent) : QObject(parent), effect_(new QSoundEffect(this))
{
}

bool WaveSoundPlayer::isWaveFile(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

void WaveSoundPlayer::play(const QString &path)
{
    if (!isWaveFile(path)) {
        qCInfo(lcMonitor) << "no playable wave file" << path;
        return;
    }
    effect_->stop();
    effect_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    effect_->play();
}
