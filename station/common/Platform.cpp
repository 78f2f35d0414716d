#include "Platform.h"

#include "Control.h"

#include <QDir>
#include <QFileInfo>

DocumentOpened openDocument(Shell &shell, Control &statusLine, const QString &path)
{
    if (!QFileInfo::exists(path)) {
        statusLine.setText(
            QStringLiteral("Cannot open %1: no such file").arg(QDir::toNativeSeparators(path)));
        return DocumentOpened::Missing;
    }
    if (!shell.open(path)) {
        statusLine.setText(
            QStringLiteral("No viewer opens %1").arg(QDir::toNativeSeparators(path)));
        return DocumentOpened::NoViewer;
    }
    return DocumentOpened::Yes;
}
