#include "TextFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace TextFiles
{

namespace
{

// The reason of the last failed system call, for a write that came back short without Qt
// naming one.
QString reasonOf(const QFileDevice &file, int savedErrno)
{
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return QString::fromLocal8Bit(std::strerror(savedErrno ? savedErrno : EIO));
}

// Writes the bytes to a new hidden file beside `path`, named in `temp`, and syncs it, so that
// a rename can put it in place whole. Written unbuffered: a buffered write lets a short write
// at the final flush go unnoticed.
bool writeTemporary(const QString &path, const QByteArray &bytes, QString *temp, QString *error)
{
    const QFileInfo target(path);
    *temp = target.dir().filePath(
        QStringLiteral(".%1.%2.part")
            .arg(target.fileName())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    QFile file(*temp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    errno = 0;
    if (file.write(bytes) != bytes.size() || ::fsync(file.handle()) != 0) {
        *error = reasonOf(file, errno);
        file.remove();
        return false;
    }
    file.close();
    return true;
}

// A file that does not exist yet appears whole under its name or not at all.
bool create(const QString &path, const QByteArray &bytes, QString *error)
{
    QString temp;
    if (!writeTemporary(path, bytes, &temp, error))
        return false;
    // Never replaces: a file of that name that appeared meanwhile is appended to next time.
    QFile written(temp);
    if (written.rename(path))
        return true;
    *error = written.errorString();
    written.remove();
    return false;
}

} // namespace

bool append(const QString &path, const QByteArray &bytes, QString *error)
{
    if (!QFileInfo::exists(path))
        return create(path, bytes, error);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    return appendToOpen(file, bytes, error);
}

bool appendToOpen(QFile &file, const QByteArray &bytes, QString *error)
{
    const qint64 before = file.size();
    errno = 0;
    if (file.write(bytes) == bytes.size())
        return true;
    *error = reasonOf(file, errno);
    // Cut back what part of it landed, so that the file ends where it ended before.
    if (!file.resize(before))
        *error += QStringLiteral("; a part is left at the end: ") + file.errorString();
    return false;
}

bool replace(const QString &path, const QByteArray &bytes, QString *error)
{
    QString temp;
    if (!writeTemporary(path, bytes, &temp, error))
        return false;
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(temp);
    return false;
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
