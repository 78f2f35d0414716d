#include "MiniSeedCommand.h"

#include "SettingsFile.h"
#include "common/ExtensionSettings.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "history/MiniSeedExport.h"

#include <QTextStream>

int MiniSeedCommand::run(const QStringList &files, const ProgramFolder &folder, QTextStream &out,
                         QTextStream &err)
{
    SystemSettings settings; // the defaults stand where sys.txt is missing
    SettingsFile::read(folder.file(QStringLiteral("sys.txt")), settings);
    const MiniSeedExport exporter(MiniSeedOptions::read(*openExtensionSettings(folder)),
                                  NumberText::leadingNumber(settings.preAlarmSeconds));
    int failures = 0;
    for (const QString &file : files) {
        const MiniSeedExport::Result result = exporter.exportFile(file);
        if (result.output.isEmpty()) {
            err << "vorsa: " << result.message << "\n";
            ++failures;
        } else {
            out << result.message << "\n";
        }
    }
    out.flush();
    err.flush();
    return failures == 0 ? 0 : 1;
}
