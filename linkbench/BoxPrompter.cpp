#include "BoxPrompter.h"

#include <QMessageBox>

void BoxPrompter::information(const QString &title, const QString &text)
{
    QMessageBox::information(owner, title, text);
}
