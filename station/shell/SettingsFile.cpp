#include "SettingsFile.h"

#include "common/NumberText.h"
#include "common/TextFiles.h"
#include "records/SampleRing.h"

#include <QFile>
#include <functional>
#include <vector>

namespace SettingsFile
{

namespace
{

constexpr int RingSeconds = SampleRing::Seconds;

// The tolerant conversion: leading number, rounded half to even; values outside the
// accepted range count as 0 so that a hand-edited file never stops the station.
int tolerantInt(const QString &value, int min, int max)
{
    const qint64 v = NumberText::roundHalfEven(NumberText::leadingNumber(value));
    return v >= min && v <= max ? int(v) : 0;
}

// The strict conversion of "Auto Run": the whole text must be an integer.
int strictInt(const QString &value, int min, int max)
{
    qint64 v = 0;
    return NumberText::parseInteger(value, &v) && v >= min && v <= max ? int(v) : 0;
}

bool checkState(int state)
{
    return state == 1;
}

QString checkText(bool checked)
{
    return checked ? QStringLiteral("1") : QStringLiteral("0");
}

// One line of the file: its key, how its value is read and how it is written.
struct Setting {
    QString key;
    std::function<void(SystemSettings &, const QString &value)> read;
    std::function<QString(const SystemSettings &)> write;
};

Setting textSetting(const char *key, QString SystemSettings::*text)
{
    return {QLatin1String(key),
            [text](SystemSettings &s, const QString &value) { s.*text = value; },
            [text](const SystemSettings &s) { return s.*text; }};
}

Setting checkSetting(const char *key, bool SystemSettings::*box,
                     int (*convert)(const QString &, int, int))
{
    return {QLatin1String(key),
            [box, convert](SystemSettings &s, const QString &value) {
                s.*box = checkState(convert(value, 0, 2));
            },
            [box](const SystemSettings &s) { return checkText(s.*box); }};
}

Setting numberSetting(const char *key, int SystemSettings::*number, int max)
{
    return {QLatin1String(key),
            [number, max](SystemSettings &s, const QString &value) {
                s.*number = tolerantInt(value, 0, max);
            },
            [number](const SystemSettings &s) { return QString::number(s.*number); }};
}

Setting voiceSetting(int k)
{
    return {QStringLiteral("Voice%1").arg(k),
            [k](SystemSettings &s, const QString &value) { s.voiceFiles[size_t(k)] = value; },
            [k](const SystemSettings &s) { return s.voiceFiles[size_t(k)]; }};
}

// The 32 lines in the order the writer produces them.
std::vector<Setting> makeSettings()
{
    std::vector<Setting> table;
    table.push_back(numberSetting("engineer Mode", &SystemSettings::userMode, 2));
    table.push_back(textSetting("COM", &SystemSettings::serialPort));
    table.push_back(textSetting("Baud", &SystemSettings::serialSettings));
    table.push_back(textSetting("IP", &SystemSettings::host));
    table.push_back(textSetting("Port", &SystemSettings::port));
    table.push_back(textSetting("ID", &SystemSettings::unitAddress));
    for (int k = 0; k < SystemSettings::VoiceCount; ++k)
        table.push_back(voiceSetting(k));
    table.push_back(textSetting("Pre-alarm time", &SystemSettings::preAlarmSeconds));
    table.push_back(textSetting("Post-alarm time", &SystemSettings::postAlarmSeconds));
    table.push_back(textSetting("Acc range", &SystemSettings::accelerationRange));
    table.push_back(textSetting("Pd range", &SystemSettings::pdRange));
    table.push_back(textSetting("X-axis range", &SystemSettings::timeSpan));
    table.push_back(textSetting("displacement range", &SystemSettings::displacementRange));
    table.push_back(textSetting("Rec Path", &SystemSettings::recordFolder));
    table.push_back(checkSetting("Auto Run", &SystemSettings::autoRun, strictInt));
    table.push_back(textSetting("Manual Path", &SystemSettings::manualFile));
    table.push_back(checkSetting("Record mode", &SystemSettings::recordMode, tolerantInt));
    table.push_back(checkSetting("Clock adjusted", &SystemSettings::clockAdjusted, tolerantInt));
    table.push_back(numberSetting("LED COM", &SystemSettings::ledPort, 255));
    table.push_back(checkSetting("Voice Enable", &SystemSettings::voiceOn, tolerantInt));
    return table;
}

const std::vector<Setting> &lines()
{
    static const std::vector<Setting> table = makeSettings();
    return table;
}

void applyLine(const QString &line, SystemSettings &settings)
{
    const int colon = int(line.indexOf(QLatin1Char(':')));
    if (colon <= 0)
        return;
    const QString key = line.left(colon);
    for (const Setting &setting : lines()) {
        if (setting.key == key) {
            setting.read(settings, line.mid(colon + 1));
            return;
        }
    }
}

// Zero or negative times fall back to the defaults; times beyond the ring are cut to fit it.
void closeRecordTimes(SystemSettings &settings)
{
    QString &preText = settings.preAlarmSeconds;
    QString &postText = settings.postAlarmSeconds;
    // A negative time is no more usable than 0, and falls back the same way.
    if (NumberText::leadingNumber(preText) <= 0)
        preText = QStringLiteral("30");
    if (NumberText::leadingNumber(postText) <= 0)
        postText = QStringLiteral("90");
    const double pre = NumberText::leadingNumber(preText);
    const double post = NumberText::leadingNumber(postText);
    const double fittedPre = qBound(0.0, pre, double(RingSeconds));
    const double fittedPost = qBound(0.0, post, RingSeconds - fittedPre);
    if (fittedPre != pre)
        preText = NumberText::doubleText(fittedPre);
    if (fittedPost != post)
        postText = NumberText::doubleText(fittedPost);
}

} // namespace

void apply(const QString &content, SystemSettings &settings)
{
    QString text = content;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        applyLine(line, settings);
    }
}

bool read(const QString &path, SystemSettings &settings)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    apply(QString::fromUtf8(file.readAll()), settings);
    closeRecordTimes(settings);
    return true;
}

QByteArray compose(const SystemSettings &settings, const Overrides &overrides)
{
    QByteArray bytes;
    for (const Setting &setting : lines()) {
        const auto value = overrides.constFind(setting.key);
        bytes += (setting.key + QLatin1Char(':') +
                  (value != overrides.constEnd() ? *value : setting.write(settings)))
                     .toUtf8() +
                 TextFiles::LineEnd;
    }
    return bytes;
}

bool write(const QString &path, const SystemSettings &settings, QString *error,
           const Overrides &overrides)
{
    return TextFiles::replace(path, compose(settings, overrides), error);
}

QString checkRecordTimes(double preAlarm, double postAlarm)
{
    if (preAlarm < 0 || postAlarm < 0)
        return QStringLiteral("Pre- and post-alarm times cannot be negative.");
    if (preAlarm + postAlarm > RingSeconds)
        return QStringLiteral("Pre-alarm plus post-alarm time must not exceed %1 s.")
            .arg(RingSeconds);
    return {};
}

} // namespace SettingsFile
