#pragma once

#include <QDateTime>
#include <QStringList>

class ProgramFolder;
class QTextStream;

// `vorsa --archive-extract START END [CHANNELS] [--mseed]`: writes a stretch of the continuous
// archive (vorsa.ini [archive] and [miniseed]) into the current folder, as a record file the
// history page loads or, with --mseed, as miniSEED; one line to `out` when written, to `err`
// when not. 0 when a file was written.
namespace ArchiveCommand
{
// ISO 8601 ("2026-03-01T12:00:00", local time unless it ends in Z or an offset) or the
// station's "yyyy/MM/dd HH:mm:ss" (local time); invalid when neither.
QDateTime parseTime(const QString &text);
// Empty when `words` (START END [CHANNELS]) are usable, else what is wrong.
QString problem(const QStringList &words);
int run(const QStringList &words, bool miniSeed, const ProgramFolder &folder,
        const QString &outputFolder, QTextStream &out, QTextStream &err);
} // namespace ArchiveCommand
