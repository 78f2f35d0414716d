#include "ArchiveSettings.h"

#include "common/ProgramFolder.h"

#include <QDir>
#include <QSettings>

namespace
{

const QString Group = QStringLiteral("archive/");
const QString DefaultFolder = QStringLiteral("archive");

} // namespace

ArchiveSettings ArchiveSettings::read(const QSettings &settings, const ProgramFolder &programFolder)
{
    ArchiveSettings archive;
    auto value = [&settings](const char *key, const QVariant &fallback) {
        return settings.value(Group + QLatin1String(key), fallback);
    };
    archive.enabled = value("enabled", archive.enabled).toBool();
    const QString folder = value("folder", DefaultFolder).toString().trimmed();
    archive.folder = QDir::cleanPath(
        QDir(programFolder.path()).absoluteFilePath(folder.isEmpty() ? DefaultFolder : folder));
    archive.days = qMax(0, value("days", archive.days).toInt());
    archive.maxMB = qMax<qint64>(0, value("maxMB", archive.maxMB).toLongLong());
    return archive;
}

void ArchiveSettings::addMissingKeys(QSettings &settings)
{
    const ArchiveSettings defaults;
    auto add = [&settings](const char *key, const QVariant &value) {
        if (!settings.contains(Group + QLatin1String(key)))
            settings.setValue(Group + QLatin1String(key), value);
    };
    add("enabled", defaults.enabled);
    add("folder", DefaultFolder);
    add("days", defaults.days);
    add("maxMB", defaults.maxMB);
}
