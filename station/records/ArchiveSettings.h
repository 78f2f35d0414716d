#pragma once

#include <QString>
#include <QtGlobal>

class ProgramFolder;
class QSettings;

// The [archive] group of vorsa.ini: whether every streamed sample is kept in miniSEED day
// files, where, and how many days and megabytes of them stay on disk (0: no limit).
struct ArchiveSettings {
    bool enabled = true;
    QString folder; // absolute
    int days = 31;
    qint64 maxMB = 1024;

    // A relative folder lies in the program folder; none given: <program folder>/archive.
    static ArchiveSettings read(const QSettings &settings, const ProgramFolder &programFolder);
    static void addMissingKeys(QSettings &settings);
};
