#pragma once

#include "ProgramFolder.h"

#include <QSettings>
#include <memory>

// vorsa.ini beside sys.txt: the home of every setting that is ours and not the original's
// (export, broker, allowed peers), so sys.txt keeps its 32 lines. QSettings keeps keys it
// does not know when it writes the file back, so a newer station's keys survive an older one.
std::unique_ptr<QSettings> openExtensionSettings(const ProgramFolder &folder);
