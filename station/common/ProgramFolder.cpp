#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

ProgramFolder::ProgramFolder(const QString &path) : path_(QDir::cleanPath(path)) {}

ProgramFolder ProgramFolder::fromEnvironment()
{
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                             QStringLiteral("/vorsa");
    return choose(qEnvironmentVariable("VORSA_HOME"), QCoreApplication::applicationDirPath(),
                  userData);
}

ProgramFolder ProgramFolder::choose(const QString &home, const QString &executableDir,
                                    const QString &userData)
{
    QString path = executableDir;
    if (!home.isEmpty())
        path = home;
    else if (!QFileInfo(executableDir).isWritable())
        path = userData;
    QDir().mkpath(path);
    return ProgramFolder(QDir(path).absolutePath());
}

QString ProgramFolder::file(const QString &name) const
{
    return QDir(path_).filePath(name);
}
