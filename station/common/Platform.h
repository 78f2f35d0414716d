#pragma once

#include <QString>
#include <optional>

class Control;

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
    // False when no viewer could be started for it.
    virtual bool open(const QString &path) = 0;
    // Shows a text file read-only in the station's own window.
    virtual void showText(const QString &path, const QString &title) = 0;
};

enum class DocumentOpened { Yes, Missing, NoViewer };

// Opens a document with the system's viewer; when it cannot, the operator reads why on the
// status line.
DocumentOpened openDocument(Shell &shell, Control &statusLine, const QString &path);

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
