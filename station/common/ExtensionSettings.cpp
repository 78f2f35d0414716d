#include "ExtensionSettings.h"

std::unique_ptr<QSettings> openExtensionSettings(const ProgramFolder &folder)
{
    return std::make_unique<QSettings>(folder.file(QStringLiteral("vorsa.ini")),
                                       QSettings::IniFormat);
}
