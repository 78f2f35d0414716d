#pragma once

#include <QString>

// The folder that holds sys.txt, Vorsa.txt, Event/ and RecCSV/: the executable's folder, or
// the folder named by VORSA_HOME (installed use, several stations, tests).
class ProgramFolder
{
public:
    explicit ProgramFolder(const QString &path);
    static ProgramFolder fromEnvironment();

    QString path() const { return path_; }
    QString file(const QString &name) const;

private:
    QString path_;
};
