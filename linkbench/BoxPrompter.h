#pragma once

#include "Prompter.h"

#include <QPointer>
#include <QWidget>

// Message boxes over the tool's window.
class BoxPrompter : public Prompter
{
public:
    void setWindow(QWidget *window) { owner = window; }
    void information(const QString &title, const QString &text) override;

private:
    QPointer<QWidget> owner;
};
