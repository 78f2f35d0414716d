#include "HeadlessPlatform.h"

#include <QAudioDevice>
#include <QMediaDevices>

// Nobody is there to answer: a question that would change something is declined.
bool UnattendedPrompter::askYesNo(const QString &text, const QString &title)
{
    if (tell_)
        tell_(QStringLiteral("%1 %2: answered No (no operator)").arg(title, text));
    return false;
}

std::optional<QString> UnattendedPrompter::askText(const QString &prompt, const QString &title,
                                                   const QString &)
{
    if (tell_)
        tell_(QStringLiteral("%1 %2: cancelled (no operator)").arg(title, prompt));
    return std::nullopt;
}

void UnattendedPrompter::inform(const QString &text, const QString &title)
{
    if (tell_)
        tell_(title + QLatin1Char(' ') + text);
}

bool NoDesktop::open(const QString &path)
{
    if (tell_)
        tell_(QStringLiteral("no desktop to open ") + path);
    return false;
}

void NoDesktop::showText(const QString &path, const QString &)
{
    open(path);
}

HeadlessSound::HeadlessSound(std::function<bool()> hasAudioOutput)
    : hasAudioOutput_(std::move(hasAudioOutput))
{
}

bool HeadlessSound::systemHasAudioOutput()
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

void HeadlessSound::play(const QString &path)
{
    if (!audio_) {
        audio_ = hasAudioOutput_();
        if (!*audio_ && tell_)
            tell_(QStringLiteral("no audio output: voice alerts are not played"));
    }
    if (!*audio_)
        return;
    if (!player_)
        player_ = std::make_unique<WaveSoundPlayer>();
    player_->play(path);
}
