#include "SettingsFile.h"

#include "common/Form.h"
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

QString checkText(const Control &box)
{
    return box.isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

// One line of the file: its key, how its value goes into the form and how it is written.
struct Setting {
    QString key;
    std::function<void(Form &, const QString &value, QString *recPath)> read;
    std::function<QString(const Form &)> write;
};

Setting textSetting(const char *key, Control Form::*control)
{
    return {
        QLatin1String(key),
        [control](Form &form, const QString &value, QString *) { (form.*control).setText(value); },
        [control](const Form &form) { return (form.*control).text(); }};
}

Setting checkSetting(const char *key, Control Form::*box, int (*convert)(const QString &, int, int))
{
    return {QLatin1String(key),
            [box, convert](Form &form, const QString &value, QString *) {
                (form.*box).setChecked(checkState(convert(value, 0, 2)));
            },
            [box](const Form &form) { return checkText(form.*box); }};
}

Setting voiceSetting(int k)
{
    return {QStringLiteral("Voice%1").arg(k),
            [k](Form &form, const QString &value, QString *) {
                form.txtDegree[k].setText(value);
                form.voiceCommands[k] = QStringLiteral("Play ") + value;
            },
            [k](const Form &form) { return form.txtDegree[k].text(); }};
}

// The 32 lines in the order the writer produces them.
std::vector<Setting> makeSettings()
{
    std::vector<Setting> table;
    table.push_back({QStringLiteral("engineer Mode"),
                     [](Form &form, const QString &value, QString *) {
                         form.userMode = tolerantInt(value, 0, 2);
                     },
                     [](const Form &form) { return QString::number(form.userMode); }});
    table.push_back(textSetting("COM", &Form::txtCom));
    table.push_back(textSetting("Baud", &Form::txtBaud));
    table.push_back(textSetting("IP", &Form::txtIP));
    table.push_back(textSetting("Port", &Form::txtPort));
    table.push_back(textSetting("ID", &Form::mbus_id));
    for (int k = 0; k < int(std::tuple_size_v<decltype(Form::txtDegree)>); ++k)
        table.push_back(voiceSetting(k));
    table.push_back(textSetting("Pre-alarm time", &Form::txtrecPrev));
    table.push_back(textSetting("Post-alarm time", &Form::txtrecafter));
    table.push_back(textSetting("Acc range", &Form::cboXYZ));
    table.push_back(textSetting("Pd range", &Form::cboPd));
    table.push_back(textSetting("X-axis range", &Form::cboXaxis));
    table.push_back(textSetting("displacement range", &Form::cbodisp));
    table.push_back({QStringLiteral("Rec Path"),
                     [](Form &, const QString &value, QString *recPath) { *recPath = value; },
                     [](const Form &form) { return form.Dir1.path(); }});
    table.push_back(checkSetting("Auto Run", &Form::chkAuto, strictInt));
    table.push_back({QStringLiteral("Manual Path"),
                     [](Form &form, const QString &value, QString *) { form.manualFile = value; },
                     [](const Form &form) { return form.manualFile; }});
    table.push_back(checkSetting("Record mode", &Form::Check4, tolerantInt));
    table.push_back(checkSetting("Clock adjusted", &Form::chkadj, tolerantInt));
    table.push_back({QStringLiteral("LED COM"),
                     [](Form &form, const QString &value, QString *) {
                         form.ledComPort = tolerantInt(value, 0, 255);
                     },
                     [](const Form &form) { return QString::number(form.ledComPort); }});
    table.push_back(checkSetting("Voice Enable", &Form::chkVoice, tolerantInt));
    return table;
}

const std::vector<Setting> &settings()
{
    static const std::vector<Setting> table = makeSettings();
    return table;
}

void applyLine(const QString &line, Form &form, QString *recPath)
{
    const int colon = int(line.indexOf(QLatin1Char(':')));
    if (colon <= 0)
        return;
    const QString key = line.left(colon);
    for (const Setting &setting : settings()) {
        if (setting.key == key) {
            setting.read(form, line.mid(colon + 1), recPath);
            return;
        }
    }
}

// Zero or negative times fall back to the defaults; times beyond the ring are cut to fit it.
void closeRecordTimes(Form &form)
{
    // A negative time is no more usable than 0, and falls back the same way.
    if (NumberText::leadingNumber(form.txtrecPrev.text()) <= 0)
        form.txtrecPrev.setText(QStringLiteral("30"));
    if (NumberText::leadingNumber(form.txtrecafter.text()) <= 0)
        form.txtrecafter.setText(QStringLiteral("90"));
    const double pre = NumberText::leadingNumber(form.txtrecPrev.text());
    const double post = NumberText::leadingNumber(form.txtrecafter.text());
    const double fittedPre = qBound(0.0, pre, double(RingSeconds));
    const double fittedPost = qBound(0.0, post, RingSeconds - fittedPre);
    if (fittedPre != pre)
        form.txtrecPrev.setText(NumberText::doubleText(fittedPre));
    if (fittedPost != post)
        form.txtrecafter.setText(NumberText::doubleText(fittedPost));
}

} // namespace

void apply(const QString &content, Form &form, QString *recPath)
{
    QString text = content;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        applyLine(line, form, recPath);
    }
}

bool read(const QString &path, Form &form, QString *recPath)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    apply(QString::fromUtf8(file.readAll()), form, recPath);
    closeRecordTimes(form);
    return true;
}

QByteArray compose(const Form &form, const Overrides &overrides)
{
    QByteArray bytes;
    for (const Setting &setting : settings()) {
        const auto value = overrides.constFind(setting.key);
        bytes += (setting.key + QLatin1Char(':') +
                  (value != overrides.constEnd() ? *value : setting.write(form)))
                     .toUtf8() +
                 TextFiles::LineEnd;
    }
    return bytes;
}

bool write(const QString &path, const Form &form, QString *error, const Overrides &overrides)
{
    return TextFiles::replace(path, compose(form, overrides), error);
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
