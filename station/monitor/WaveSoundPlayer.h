#pragma once

#include "common/Platform.h"

#include <QObject>

class QSoundEffect;

// Plays wave files through QSoundEffect, which never crashes without an audio device. A
// file that is missing, unreadable or not a wave file is skipped; nothing waits for a sound
// to end.
class WaveSoundPlayer : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit WaveSoundPlayer(QObject *parent = nullptr);
    ~WaveSoundPlayer() override;
    void play(const QString &path) override;

    // A readable file that begins like a RIFF wave file.
    static bool isWaveFile(const QString &path);

private:
    QSoundEffect *effect_;
};
