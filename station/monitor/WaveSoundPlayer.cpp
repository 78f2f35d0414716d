#include "WaveSoundPlayer.h"

#include "MonitorLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSoundEffect>
#include <QSslError>
#include <QUrl>

WaveSoundPlayer::WaveSoundPlayer(QObject *parent) : QObject(parent), effect_(new QSoundEffect(this))
{
    // QSoundEffect loads files on a thread of its own that registers this type on first use;
    // registering it here, on the window thread, keeps that thread from racing the program's
    // own registrations (a crash seen when a sound starts just before the program ends).
    qRegisterMetaType<QList<QSslError>>();
}

WaveSoundPlayer::~WaveSoundPlayer()
{
    // The loading thread outlives the player; letting a load in progress finish keeps it
    // from running while the application is being torn down.
    QElapsedTimer elapsed;
    elapsed.start();
    while (effect_->status() == QSoundEffect::Loading && elapsed.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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
