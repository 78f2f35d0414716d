#pragma once

#include "common/Platform.h"
#include "common/StripChart.h"
#include "monitor/WaveSoundPlayer.h"

#include <functional>
#include <memory>
#include <optional>

// The platform of a station without a window: charts draw nothing, documents are not
// opened, questions get the cautious answer, messages and sound problems are told through
// `tell` (the headless report).
using Teller = std::function<void(const QString &text)>;

class NoChart : public StripChart
{
public:
    void selectTrace(int) override {}
    void setRange(double, double) override {}
    void setVisibleWidth(double) override {}
    void addSample(int, double) override {}
    void addBlock(int, const Block &) override {}
    void clear() override {}
    void setSampleExtent(int) override {}
    void setViewPosition(int) override {}
    void markCurrentSample() override {}
    void breakTraces() override {}
};

class UnattendedPrompter : public Prompter
{
public:
    void setTeller(Teller tell) { tell_ = std::move(tell); }
    bool askYesNo(const QString &text, const QString &title) override;
    std::optional<QString> askText(const QString &prompt, const QString &title,
                                   const QString &defaultText) override;
    void inform(const QString &text, const QString &title) override;

private:
    Teller tell_;
};

class NoDesktop : public Shell
{
public:
    void setTeller(Teller tell) { tell_ = std::move(tell); }
    bool open(const QString &path) override;
    void showText(const QString &path, const QString &title) override;

private:
    Teller tell_;
};

// Wave files through the sound player when the machine has an audio output; without one,
// the first sound is told once and every sound is skipped.
class HeadlessSound : public SoundPlayer
{
public:
    // `hasAudioOutput` is asked at the first sound (tests give their own answer).
    explicit HeadlessSound(std::function<bool()> hasAudioOutput = systemHasAudioOutput);
    void setTeller(Teller tell) { tell_ = std::move(tell); }
    void play(const QString &path) override;

    static bool systemHasAudioOutput();

private:
    std::function<bool()> hasAudioOutput_;
    std::optional<bool> audio_;
    std::unique_ptr<WaveSoundPlayer> player_;
    Teller tell_;
};
