#pragma once

#include "common/Platform.h"

#include <QObject>

class QSoundEffect;

// Plays wave files through QSoundEffect, which never crashes without an audio device. A
// file that is missing or unreadable is skipped; nothing waits for a sound to end.
class WaveSoundPlayer : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit WaveSoundPlayer(QObject *parent = nullptr);
    void play(const QString &path) override;

private:
    QSoundEffect *effect_;
};
