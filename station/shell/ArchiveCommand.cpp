#include "ArchiveCommand.h"

#include "common/ExtensionSettings.h"
#include "common/ProgramFolder.h"
#include "history/ArchiveExtract.h"
#include "records/ArchiveSettings.h"

#include <QDir>
#include <QTextStream>

QDateTime ArchiveCommand::parseTime(const QString &text)
{
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(text, QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    return when;
}

QString ArchiveCommand::problem(const QStringList &words)
{
    if (words.size() < 2 || words.size() > 3)
        return QStringLiteral("--archive-extract takes START END and optionally CHANNELS");
    for (const QString &word : words.mid(0, 2)) {
        if (!parseTime(word).isValid())
            return QStringLiteral("--archive-extract: \"%1\" is no time such as "
                                  "2026-03-01T12:00:00")
                .arg(word);
    }
    if (parseTime(words[0]) >= parseTime(words[1]))
        return QStringLiteral("--archive-extract: END must lie after START");
    return {};
}

int ArchiveCommand::run(const QStringList &words, bool miniSeed, const ProgramFolder &folder,
                        const QString &outputFolder, QTextStream &out, QTextStream &err)
{
    const auto ini = openExtensionSettings(folder);
    const MiniSeedOptions codes = MiniSeedOptions::read(*ini);
    const ArchiveSettings archive = ArchiveSettings::read(*ini, folder);
    const QDateTime start = parseTime(words.value(0));
    const QDateTime end = parseTime(words.value(1));
    const QStringList channels =
        words.value(2).toUpper().split(QLatin1Char(','), Qt::SkipEmptyParts);
    const ArchiveExtract extract(archive.folder, codes);
    ArchiveExtract::Result result;
    if (miniSeed) {
        const QString name =
            QStringLiteral("%1.%2.%3.%4.mseed")
                .arg(codes.network, MiniSeedOptions::stationCode(codes.station), codes.location,
                     start.toUTC().toString(QStringLiteral("yyyyMMdd_HHmmss")));
        result = extract.writeMiniSeed(start, end, channels, QDir(outputFolder).filePath(name));
    } else if (!channels.isEmpty()) {
        result.message = QStringLiteral("a record file holds a, b and c: CHANNELS go with --mseed");
    } else {
        result = extract.writeRecordFile(start, end, outputFolder);
    }
    if (result.output.isEmpty())
        err << "vorsa: " << result.message << "\n";
    else
        out << result.message << "\n";
    out.flush();
    err.flush();
    return result.output.isEmpty() ? 1 : 0;
}
