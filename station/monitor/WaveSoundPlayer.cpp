#include "WaveSoundPlayer.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSoundEffect>
#include <QUrl>

Q_LOGGING_CATEGORY(lcSound, "vorsa.sound")

WaveSoundPlayer::WaveSoundPlayer(QObject *parent)
    : QObject(parent), effect_(new QSoundEffect(this))
{
}

void WaveSoundPlayer::play(const QString &path)
{
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile() || !file.isReadable()) {
        qCInfo(lcSound) << "no playable wave file" << path;
        return;
    }
    effect_->stop();
    effect_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    effect_->play();
}
