#include "QtPlatform.h"

#include <QDesktopServices>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

bool DialogPrompter::askYesNo(const QString &text, const QString &title)
{
    return QMessageBox::question(parent_, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<QString> DialogPrompter::askText(const QString &prompt, const QString &title,
                                               const QString &defaultText)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

void DialogPrompter::inform(const QString &text, const QString &title)
{
    QMessageBox::information(parent_, title, text);
}

void DesktopShell::open(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
