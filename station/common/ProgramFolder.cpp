#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

ProgramFolder::ProgramFolder(const QString &path) : path_(QDir::cleanPath(path)) {}

ProgramFolder ProgramFolder::fromEnvironment()
{
    const QString home = qEnvironmentVariable("VORSA_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return ProgramFolder(QDir(home).absolutePath());
    }
    return ProgramFolder(QCoreApplication::applicationDirPath());
}

QString ProgramFolder::file(const QString &name) const
{
    return QDir(path_).filePath(name);
}
