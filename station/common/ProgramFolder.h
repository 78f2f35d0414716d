#pragma once

#include <QString>

// The folder that holds sys.txt, Vorsa.txt, Event/ and RecCSV/: the folder named by
// VORSA_HOME (installed use, several stations, tests), else the executable's folder, else,
// when that cannot be written (an installed program), the user's data folder.
class ProgramFolder
{
public:
    explicit ProgramFolder(const QString &path);
    static ProgramFolder fromEnvironment();
    // The choice itself: `home` is VORSA_HOME (empty when unset), `userData` the folder to use
    // when the executable's folder cannot be written. The chosen folder is created.
    static ProgramFolder choose(const QString &home, const QString &executableDir,
                                const QString &userData);

    QString path() const { return path_; }
    QString file(const QString &name) const;

private:
    QString path_;
};
