#include "HeadlessReport.h"

#include "Station.h"
#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/NumberText.h"
#include "link/LinkSettings.h"
#include "link/LinkStatus.h"

#include <QDir>
#include <QTextStream>

HeadlessReport::HeadlessReport(Station &station, const Clock &clock, QTextStream &out,
                               QObject *parent)
    : QObject(parent), station_(station), form_(station.form()), clock_(clock), out_(out)
{
    station.eventLog().addEntryObserver([this](const QString &line) { logEntry(line); });
    connect(&station.linkStatus(), &LinkStatus::openChanged, this,
            &HeadlessReport::linkOpenChanged);
    connect(&station.linkStatus(), &LinkStatus::silentChanged, this,
            &HeadlessReport::linkSilentChanged);
    const EventState &events = station.eventState();
    connect(&events, &EventState::started, this,
            [this] { report(QStringLiteral("alarm"), QStringLiteral("event started")); });
    connect(&events, &EventState::ended, this,
            [this] { report(QStringLiteral("info"), QStringLiteral("event over")); });
    connect(&events, &EventState::intensityChanged, this, &HeadlessReport::intensityChanged);
    // Queued: the rule that shows or hides the alarm logs its line after doing so.
    connect(&form_.lblAlarm, &Control::changed, this, &HeadlessReport::alarmChanged,
            Qt::QueuedConnection);
    watch(form_.lblRec, &HeadlessReport::recordingChanged);
    // Each file of an event sequence is told as it is written, also one written late.
    connect(&station.eventFile(), &EventFile::written, this, [this](const QString &path) {
        report(QStringLiteral("info"), QStringLiteral("event file ") + path);
    });
    watch(form_.txtEvent, &HeadlessReport::summaryChanged);
    watch(form_.statusLine, &HeadlessReport::statusChanged);
    watch(form_.lblWriteWarning, &HeadlessReport::writeWarningChanged);
}

void HeadlessReport::watch(Control &control, void (HeadlessReport::*handler)())
{
    connect(&control, &Control::changed, this, handler);
}

void HeadlessReport::report(const QString &level, const QString &text)
{
    write(NumberText::generalDateTime(clock_.now()), level, text);
}

void HeadlessReport::write(const QString &time, const QString &level, const QString &text)
{
    out_ << time << ' ' << level << ' ' << text << Qt::endl;
}

// A log entry ends with "_" and the station code, which the journal gives as a field, and
// only once the code has been read. The entry's own time, when it is the line's, is not
// repeated; an older one (an event's summary names its start) stays in the text, so the
// journal's times only go forward.
void HeadlessReport::logEntry(const QString &line)
{
    const QString code = form_.txtReal.text(Field::StationCode);
    QString message = line;
    if (message.endsWith(QLatin1Char('_') + code))
        message.chop(code.size() + 1);
    const QString now = NumberText::generalDateTime(clock_.now());
    if (message.startsWith(now + QLatin1Char(' ')))
        message.remove(0, now.size() + 1);
    if (form_.txtReal.isRead(Field::StationCode))
        message += QStringLiteral(" [station %1]").arg(code);
    write(now, QStringLiteral("log"), message);
}

QString HeadlessReport::linkDescription() const
{
    if (form_.optCom.isChecked())
        return QStringLiteral("Modbus_RTU on port %1 (%2), slave %3")
            .arg(form_.txtCom.text(), form_.txtBaud.text(), form_.mbus_id.text());
    if (form_.optTCP_svr.isChecked())
        return QStringLiteral("TCP/IP Server, the device connects to port %1")
            .arg(LinkSettings::DefaultServerPort);
    return QStringLiteral("Modbus_TCP to %1 port %2").arg(form_.txtIP.text(), form_.txtPort.text());
}

void HeadlessReport::linkOpenChanged(bool open)
{
    report(QStringLiteral("info"), open ? QStringLiteral("link opened: ") + linkDescription()
                                        : QStringLiteral("link closed"));
}

void HeadlessReport::linkSilentChanged(bool silent)
{
    if (silent)
        report(QStringLiteral("warning"), QStringLiteral("no data from the device"));
    else
        report(QStringLiteral("info"), QStringLiteral("data from the device"));
}

void HeadlessReport::intensityChanged(const QString &intensity)
{
    if (!intensity.isEmpty())
        report(QStringLiteral("info"), QStringLiteral("intensity ") + intensity);
}

void HeadlessReport::alarmChanged()
{
    const bool shown = form_.lblAlarm.isVisible() && !form_.lblAlarm.text().isEmpty();
    if (shown == alarmShown_)
        return;
    alarmShown_ = shown;
    if (shown)
        report(QStringLiteral("alarm"), form_.lblAlarm.text());
    else
        report(QStringLiteral("info"), QStringLiteral("alarm cleared"));
}

void HeadlessReport::recordingChanged()
{
    const bool recording = form_.lblRec.isVisible();
    if (recording == recording_)
        return;
    recording_ = recording;
    if (recording)
        report(QStringLiteral("info"), QStringLiteral("recording the event"));
}

void HeadlessReport::summaryChanged()
{
    const QString summary = form_.txtEvent.text().section(QStringLiteral("\r\n"), 0, 0);
    if (!summary.isEmpty())
        report(QStringLiteral("info"), QStringLiteral("summary ") + summary);
}

void HeadlessReport::statusChanged()
{
    if (!form_.statusLine.text().isEmpty())
        report(QStringLiteral("warning"), form_.statusLine.text());
}

// Told once per spell of failing writes: the label stays up, and its retries would repeat it.
void HeadlessReport::writeWarningChanged()
{
    const bool shown = form_.lblWriteWarning.isVisible();
    if (shown == writeWarning_)
        return;
    writeWarning_ = shown;
    if (shown)
        report(QStringLiteral("warning"), form_.lblWriteWarning.text());
    else
        report(QStringLiteral("info"), QStringLiteral("files are written again"));
}
