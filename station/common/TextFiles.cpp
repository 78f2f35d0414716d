#include "TextFiles.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace TextFiles
{

bool append(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = file.errorString();
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool replace(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool readLines(const QString &path, QStringList *lines, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    QByteArray all = file.readAll();
    if (all.startsWith("\xEF\xBB\xBF"))
        all.remove(0, 3);
    lines->clear();
    if (all.isEmpty())
        return true;
    if (all.endsWith('\n'))
        all.chop(1);
    for (QByteArray line : all.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines->append(QString::fromUtf8(line));
    }
    return true;
}

} // namespace TextFiles
