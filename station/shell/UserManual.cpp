#include "UserManual.h"

#include <QDir>
#include <QFileInfo>

QString UserManual::folderBeside(const QString &executableDir)
{
    return QDir::cleanPath(executableDir + QStringLiteral("/../share/doc/vorsa/manual"));
}

// Read from the process itself, so it also answers before the application object exists
// (the command line's --manual).
QString UserManual::installedFolder()
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString dir = QFileInfo(self).absolutePath();
    // The headless program stands one folder deeper, in libexec/vorsa.
    const QString deeper = folderBeside(dir + QStringLiteral("/.."));
    return QFileInfo(deeper).isDir() && !QFileInfo(folderBeside(dir)).isDir() ? deeper
                                                                              : folderBeside(dir);
}
