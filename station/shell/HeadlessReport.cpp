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
    : QObject(parent), station_(station), clock_(clock), out_(out)
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
    connect(&station.alarmPanel().caption, &Control::changed, this, &HeadlessReport::alarmChanged,
            Qt::QueuedConnection);
    watch(station.alarmPanel().recording, &HeadlessReport::recordingChanged);
    // Each file of an event sequence is told as it is written, also one written late.
    connect(&station.eventFile(), &EventFile::written, this, [this](const QString &path) {
        report(QStringLiteral("info"), QStringLiteral("event file ") + path);
    });
    watch(station.eventLog().summaries(), &HeadlessReport::summaryChanged);
    watch(station.readout().statusLine, &HeadlessReport::statusChanged);
    watch(station.eventLog().writeWarning(), &HeadlessReport::writeWarningChanged);
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
    const QString code = station_.readout().liveFields.text(Field::StationCode);
    QString message = line;
    if (message.endsWith(QLatin1Char('_') + code))
        message.chop(code.size() + 1);
    const QString now = NumberText::generalDateTime(clock_.now());
    if (message.startsWith(now + QLatin1Char(' ')))
        message.remove(0, now.size() + 1);
    if (station_.readout().liveFields.isRead(Field::StationCode))
        message += QStringLiteral(" [station %1]").arg(code);
    write(now, QStringLiteral("log"), message);
}

QString HeadlessReport::linkDescription() const
{
    const LinkSettings &link = station_.linkSettings();
    switch (link.kind) {
    case LinkKind::Rtu:
        return QStringLiteral("Modbus_RTU on port %1 (%2), slave %3")
            .arg(link.serialPort, link.serialSettings)
            .arg(link.unitAddress);
    case LinkKind::TcpServer:
        return QStringLiteral("TCP/IP Server, the device connects to port %1").arg(link.serverPort);
    case LinkKind::TcpClient:
        break;
    }
    return QStringLiteral("Modbus_TCP to %1 port %2").arg(link.host, link.port);
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
    const bool shown = station_.alarmPanel().caption.isVisible() &&
                       !station_.alarmPanel().caption.text().isEmpty();
    if (shown == alarmShown_)
        return;
    alarmShown_ = shown;
    if (shown)
        report(QStringLiteral("alarm"), station_.alarmPanel().caption.text());
    else
        report(QStringLiteral("info"), QStringLiteral("alarm cleared"));
}

void HeadlessReport::recordingChanged()
{
    const bool recording = station_.alarmPanel().recording.isVisible();
    if (recording == recording_)
        return;
    recording_ = recording;
    if (recording)
        report(QStringLiteral("info"), QStringLiteral("recording the event"));
}

void HeadlessReport::summaryChanged()
{
    const QString summary =
        station_.eventLog().summaries().text().section(QStringLiteral("\r\n"), 0, 0);
    if (!summary.isEmpty())
        report(QStringLiteral("info"), QStringLiteral("summary ") + summary);
}

void HeadlessReport::statusChanged()
{
    if (!station_.readout().statusLine.text().isEmpty())
        report(QStringLiteral("warning"), station_.readout().statusLine.text());
}

// Told once per spell of failing writes: the label stays up, and its retries would repeat it.
void HeadlessReport::writeWarningChanged()
{
    const bool shown = station_.eventLog().writeWarning().isVisible();
    if (shown == writeWarning_)
        return;
    writeWarning_ = shown;
    if (shown)
        report(QStringLiteral("warning"), station_.eventLog().writeWarning().text());
    else
        report(QStringLiteral("info"), QStringLiteral("files are written again"));
}
