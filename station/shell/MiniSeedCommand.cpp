#include "MiniSeedCommand.h"

#include "SettingsFile.h"
#include "common/ExtensionSettings.h"
#include "common/Form.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "history/MiniSeedExport.h"

#include <QTextStream>

int MiniSeedCommand::run(const QStringList &files, const ProgramFolder &folder, QTextStream &out,
                         QTextStream &err)
{
    Form form; // the design values stand where sys.txt is missing
    QString recPath;
    SettingsFile::read(folder.file(QStringLiteral("sys.txt")), form, &recPath);
    const MiniSeedExport exporter(MiniSeedOptions::read(*openExtensionSettings(folder)),
                                  NumberText::leadingNumber(form.txtrecPrev.text()));
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
