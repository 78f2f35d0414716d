#pragma once

#include "common/Platform.h"

class QWidget;

// The operator's dialogs and the desktop's document viewer.
class DialogPrompter : public Prompter
{
public:
    void setParent(QWidget *parent) { parent_ = parent; }
    // No is the default answer: Enter never deletes or ends anything.
    bool askYesNo(const QString &text, const QString &title) override;
    std::optional<QString> askText(const QString &prompt, const QString &title,
                                   const QString &defaultText) override;
    void inform(const QString &text, const QString &title) override;

private:
    QWidget *parent_ = nullptr;
};

class DesktopShell : public Shell
{
public:
    void setParent(QWidget *parent) { parent_ = parent; }
    bool open(const QString &path) override;
    void showText(const QString &path, const QString &title) override;

private:
    QWidget *parent_ = nullptr;
};
