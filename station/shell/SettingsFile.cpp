#include "SettingsFile.h"

#include "Form.h"
#include "common/NumberText.h"
#include "common/TextFiles.h"

#include <QFile>

namespace SettingsFile
{

namespace
{

constexpr int RingSeconds = 240;

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

void applyLine(const QString &line, Form &form, QString *recPath)
{
    const int colon = line.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return;
    const QString key = line.left(colon);
    const QString value = line.mid(colon + 1);

    if (key == QLatin1String("engineer Mode")) {
        form.userMode = tolerantInt(value, 0, 2);
    } else if (key == QLatin1String("COM")) {
        form.txtCom.setText(value);
    } else if (key == QLatin1String("Baud")) {
        form.txtBaud.setText(value);
    } else if (key == QLatin1String("IP")) {
        form.txtIP.setText(value);
    } else if (key == QLatin1String("Port")) {
        form.txtPort.setText(value);
    } else if (key == QLatin1String("ID")) {
        form.mbus_id.setText(value);
    } else if (key.startsWith(QLatin1String("Voice")) && key != QLatin1String("Voice Enable")) {
        bool ok = false;
        const int k = key.mid(5).toInt(&ok);
        if (ok && k >= 0 && k <= 12 && key.mid(5) == QString::number(k)) {
            form.txtDegree[k].setText(value);
            form.voiceCommands[k] = QStringLiteral("Play ") + value;
        }
    } else if (key == QLatin1String("Pre-alarm time")) {
        form.txtrecPrev.setText(value);
    } else if (key == QLatin1String("Post-alarm time")) {
        form.txtrecafter.setText(value);
    } else if (key == QLatin1String("Acc range")) {
        form.cboXYZ.setText(value);
    } else if (key == QLatin1String("Pd range")) {
        form.cboPd.setText(value);
    } else if (key == QLatin1String("X-axis range")) {
        form.cboXaxis.setText(value);
    } else if (key == QLatin1String("displacement range")) {
        form.cbodisp.setText(value);
    } else if (key == QLatin1String("Rec Path")) {
        *recPath = value;
    } else if (key == QLatin1String("Auto Run")) {
        form.chkAuto.setChecked(checkState(strictInt(value, 0, 2)));
    } else if (key == QLatin1String("Manual Path")) {
        form.manualFile = value;
    } else if (key == QLatin1String("Record mode")) {
        form.Check4.setChecked(checkState(tolerantInt(value, 0, 2)));
    } else if (key == QLatin1String("Clock adjusted")) {
        form.chkadj.setChecked(checkState(tolerantInt(value, 0, 2)));
    } else if (key == QLatin1String("LED COM")) {
        form.ledComPort = tolerantInt(value, 0, 255);
    } else if (key == QLatin1String("Voice Enable")) {
        form.chkVoice.setChecked(checkState(tolerantInt(value, 0, 2)));
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

QString checkText(const Control &box)
{
    return box.isChecked() ? QStringLiteral("1") : QStringLiteral("0");
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

QByteArray compose(const Form &form)
{
    QStringList lines;
    lines << QStringLiteral("engineer Mode:") + QString::number(form.userMode)
          << QStringLiteral("COM:") + form.txtCom.text()
          << QStringLiteral("Baud:") + form.txtBaud.text()
          << QStringLiteral("IP:") + form.txtIP.text()
          << QStringLiteral("Port:") + form.txtPort.text()
          << QStringLiteral("ID:") + form.mbus_id.text();
    for (int k = 0; k < 13; ++k)
        lines << QStringLiteral("Voice%1:").arg(k) + form.txtDegree[k].text();
    lines << QStringLiteral("Pre-alarm time:") + form.txtrecPrev.text()
          << QStringLiteral("Post-alarm time:") + form.txtrecafter.text()
          << QStringLiteral("Acc range:") + form.cboXYZ.text()
          << QStringLiteral("Pd range:") + form.cboPd.text()
          << QStringLiteral("X-axis range:") + form.cboXaxis.text()
          << QStringLiteral("displacement range:") + form.cbodisp.text()
          << QStringLiteral("Rec Path:") + form.Dir1.path()
          << QStringLiteral("Auto Run:") + checkText(form.chkAuto)
          << QStringLiteral("Manual Path:") + form.manualFile
          << QStringLiteral("Record mode:") + checkText(form.Check4)
          << QStringLiteral("Clock adjusted:") + checkText(form.chkadj)
          << QStringLiteral("LED COM:") + QString::number(form.ledComPort)
          << QStringLiteral("Voice Enable:") + checkText(form.chkVoice);
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + TextFiles::LineEnd;
    return bytes;
}

bool write(const QString &path, const Form &form, QString *error)
{
    return TextFiles::replace(path, compose(form), error);
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
