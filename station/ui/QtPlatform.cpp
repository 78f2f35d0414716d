#include "QtPlatform.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

bool DialogPrompter::askYesNo(const QString &text, const QString &title)
{
    return QMessageBox::question(parent_, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
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

bool DesktopShell::open(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// A window of its own that the operator can keep open beside the station.
void DesktopShell::showText(const QString &path, const QString &title)
{
    QFile file(path);
    const bool read = file.open(QIODevice::ReadOnly | QIODevice::Text);
    auto *dialog = new QDialog(parent_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    auto *text = new QPlainTextEdit(read ? QString::fromUtf8(file.readAll()) : file.errorString());
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setAccessibleName(title);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog->resize(800, 500);
    dialog->show();
    // A log grows at its end: the newest entries are the ones wanted.
    text->moveCursor(QTextCursor::End);
    text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
}
