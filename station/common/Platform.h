#pragma once

#include <QString>
#include <optional>

// Plays a wave file. Never waits for the sound to end.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString &path) = 0;
};

// Opens a document with the system's viewer for it.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void open(const QString &path) = 0;
};

// Questions and messages to the operator: dialogs in the window, scripted answers in tests.
class Prompter
{
public:
    virtual ~Prompter() = default;
    virtual bool askYesNo(const QString &text, const QString &title) = 0;
    // No value when the operator cancels.
    virtual std::optional<QString> askText(const QString &prompt, const QString &title,
                                           const QString &defaultText) = 0;
    virtual void inform(const QString &text, const QString &title) = 0;
};
