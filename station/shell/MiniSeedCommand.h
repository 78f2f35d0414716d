#pragma once

#include <QStringList>

class ProgramFolder;
class QTextStream;

// `vorsa --export-mseed FILE...`: converts record files to miniSEED without a window, with
// the codes of the program folder's vorsa.ini and the pre-alarm time of its sys.txt. One line
// per file: what was written to `out`, why not to `err`. 0 when every file was exported.
namespace MiniSeedCommand
{
int run(const QStringList &files, const ProgramFolder &folder, QTextStream &out, QTextStream &err);
}
