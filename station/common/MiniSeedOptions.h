#pragma once

#include <QString>
#include <array>

class QSettings;

// The [miniseed] group of vorsa.ini: the codes a trace is named by (the event export and the
// continuous archive use the same) and whether every new event file is exported as it is
// written.
struct MiniSeedOptions {
    QString network = QStringLiteral("XX");
    QString location = QStringLiteral("00");
    // 100 Hz accelerometer, orientations A, B, C of a triaxial sensor.
    std::array<QString, 3> channels{QStringLiteral("HNA"), QStringLiteral("HNB"),
                                    QStringLiteral("HNC")};
    // For records that carry no station code (manual recordings, plain files, the archive).
    QString station = QStringLiteral("VORSA");
    bool exportEventFiles = false;

    static MiniSeedOptions read(const QSettings &settings);
    // Writes the keys the file does not have yet, with their defaults, so that the operator
    // finds them; keys already there (ours or not) stay as they are.
    static void addMissingKeys(QSettings &settings);
    // Empty when every code is one SEED allows, else what is wrong.
    QString problem() const;
    // Upper-case letters and digits only, the last five of them (serial numbers differ at
    // their end); empty when the text has none.
    static QString stationCode(const QString &text);
};
