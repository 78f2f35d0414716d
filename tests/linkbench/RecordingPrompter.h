#pragma once

#include "Prompter.h"

#include <QStringList>

// Takes the place of the message boxes and remembers what they would have said.
class RecordingPrompter : public Prompter
{
public:
    void information(const QString &title, const QString &text) override
    {
        titles.append(title);
        texts.append(text);
    }

    QStringList titles;
    QStringList texts;
};
