#pragma once

#include "link/LinkManager.h"

#include <QString>
#include <QStringList>
#include <optional>

// The station's command line, shared by the window and the headless program. Words that
// begin with "--" are options; the rest, joined by blanks, is the device address.
struct CommandLine {
    static const char *const Usage;
    QString address;
    QStringList exportFiles;
    QStringList extractWords;
    std::optional<LinkKind> link;
    bool demo = false;
    bool exportMseed = false;     // the words that are not options are then files
    bool archiveExtract = false;  // the words that are not options are then START END [CHANNELS]
    bool extractMiniSeed = false; // `--mseed`: the extract is miniSEED, not a record file
    bool headless = false;
    bool record = false;     // Record mode on at start, whatever sys.txt says
    std::optional<int> mode; // `--mode`: 0 general, 1 engineer, 2 educate
    bool help = false;
    bool version = false;
    bool manual = false; // `--manual`: print where the manual is
    QString mqtt;        // `--mqtt HOST[:PORT]`: the broker to publish to
    QString error;       // empty when the command line is usable

    // The names `--mode` takes, in the order of the user modes.
    static QStringList modeNames();
    // `args` as main receives them, the program's own name first.
    static CommandLine parse(const QStringList &args);
};
