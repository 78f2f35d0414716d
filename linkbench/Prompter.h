#pragma once

#include <QString>

// The message boxes the tool shows: real dialogs in the window, scripted in tests.
class Prompter
{
public:
    virtual ~Prompter() = default;
    virtual void information(const QString &title, const QString &text) = 0;
};
