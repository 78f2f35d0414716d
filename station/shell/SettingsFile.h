#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <array>

// What `sys.txt` holds, as the operator typed it: the texts stay texts, so that a hand-edited
// value is written back as it stood.
struct SystemSettings {
    static constexpr int VoiceCount = 13;

    int userMode = 0; // 0 "General", 1 "Engineer", 2 "Educate"
    QString serialPort = QStringLiteral("1");
    QString serialSettings = QStringLiteral("19200,N,8,1");
    QString host = QStringLiteral("192.168.1.100");
    QString port = QStringLiteral("502");
    QString unitAddress = QStringLiteral("101");
    std::array<QString, VoiceCount> voiceFiles; // by intensity
    QString preAlarmSeconds = QStringLiteral("30");
    QString postAlarmSeconds = QStringLiteral("90");
    QString accelerationRange = QStringLiteral("Combo1");
    QString pdRange = QStringLiteral("Combo1");
    QString timeSpan = QStringLiteral("Combo1");
    QString displacementRange = QStringLiteral("Combo1");
    QString recordFolder;
    bool autoRun = false;
    QString manualFile;
    bool recordMode = false;
    bool clockAdjusted = false;
    int ledPort = 0; // 0: no LED sign
    bool voiceOn = false;
};

// `sys.txt`: 32 lines of key, colon, value. The reader takes any order and any subset, the
// writer always produces all 32 lines in their fixed order.
namespace SettingsFile
{

// Reads the file over `settings`, then applies the closing rule (pre-alarm 0 -> "30",
// post-alarm 0 -> "90") and keeps the times inside the sample ring. Returns false when the
// file cannot be read (the settings then keep what they held).
bool read(const QString &path, SystemSettings &settings);

// Applies the lines of a settings text (any line ends).
void apply(const QString &content, SystemSettings &settings);

// Values written in place of the settings', by key ("Port" -> "502").
using Overrides = QHash<QString, QString>;

// The 32 lines, each ended by CR LF.
QByteArray compose(const SystemSettings &settings, const Overrides &overrides = {});

bool write(const QString &path, const SystemSettings &settings, QString *error,
           const Overrides &overrides = {});

// The ring holds 240 s: P <= 240 and P + A <= 240. Empty when the pair is fine, else why not.
QString checkRecordTimes(double preAlarm, double postAlarm);

} // namespace SettingsFile
