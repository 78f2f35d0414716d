#include "EventLog.h"

#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "common/ProgramFolder.h"
#include "common/TextFiles.h"

#include <QDir>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRecords, "vorsa.records")

EventLog::EventLog(const LiveFields &fields, Control &statusLine, const ProgramFolder &folder,
                   const Clock &clock, Prompter &prompter, Shell &shell)
    : fields_(fields), statusLine_(statusLine), folder_(folder), clock_(clock), prompter_(prompter),
      shell_(shell), pendingWrites_(writeWarning_, PendingCapacity)
{
    writeWarning_.setVisible(false);
    writeWarning_.setBackColor(QColor(255, 255, 0));
    QObject::connect(&pendingWrites_, &PendingWrites::dropped, &pendingWrites_,
                     [this](const QString &path, qint64 bytes) { logDropped(path, bytes); });
}

QString EventLog::monthFileName() const
{
    const QDate today = clock_.now().date();
    return QString::number(today.year()) + QString::number(today.month()) + QStringLiteral(".txt");
}

void EventLog::appendEventLog(const QString &message)
{
    append(message);
}

void EventLog::appendAlarmLog(const QString &message)
{
    const QString line = append(message);
    for (const auto &observer : alarmObservers_)
        observer(line);
}

QString EventLog::append(const QString &message)
{
    const QString dir = folder_.file(QStringLiteral("Event"));
    QDir().mkpath(dir);
    const QString line = message + QLatin1Char('_') + fields_.text(Field::StationCode);
    for (const auto &observer : entryObservers_)
        observer(line);
    pendingWrites_.append({QDir(dir).filePath(monthFileName())},
                          line.toUtf8() + TextFiles::LineEnd);
    return line;
}

void EventLog::logDropped(const QString &path, qint64 bytes)
{
    appendEventLog(
        NumberText::generalDateTime(clock_.now()) +
        QStringLiteral(" Write queue full, dropped %1 bytes for %2").arg(bytes).arg(path));
}

QString EventLog::summaryLine(const QDateTime &start) const
{
    const LiveFields &f = fields_;
    SummaryValues values{f.text(Field::StationCode), f.text(Field::Intensity),
                         f.value(Field::VectorMax)};
    for (int k = 0; k < 6; ++k)
        values.axisMax[std::size_t(k)] = f.value(Field::FirstAxisPeak + k);
    return summaryLine(start, values);
}

QString EventLog::summaryLine(const QDateTime &start, const SummaryValues &v)
{
    const auto padded = [&v](std::size_t k) {
        return NumberText::rightAligned(NumberText::fixed(v.axisMax[k], 2), 10);
    };
    return start.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + QLatin1Char(',') +
           v.stationCode + QStringLiteral(", Max Intensity : ") +
           NumberText::rightAligned(v.intensity, 2) +
           QStringLiteral(", Tri-axial Compound Vector Max : ") +
           NumberText::rightAligned(NumberText::fixed(v.vectorMax, 1), 10) +
           QStringLiteral(", a Axis Max : ") + padded(0) + QStringLiteral(", b : ") + padded(1) +
           QStringLiteral(", c : ") + padded(2) + QStringLiteral(", Compound a Axis Max: ") +
           padded(3) + QStringLiteral(", b : ") + padded(4) + QStringLiteral(", c : ") + padded(5);
}

QString EventLog::withLineOnTop(const QString &line, const QString &previous)
{
    return line + QStringLiteral("\r\n") + previous.left(SummaryBoxLimit);
}

void EventLog::writeEventSummary(const QDateTime &start)
{
    writeSummary(start, summaryLine(start), fields_.text(Field::Intensity));
}

void EventLog::writeRecoveredSummary(const QDateTime &start, const SummaryValues &values)
{
    writeSummary(start, summaryLine(start, values), values.intensity);
}

void EventLog::writeSummary(const QDateTime &start, const QString &line, const QString &intensity)
{
    pendingWrites_.append({folder_.file(QStringLiteral("Vorsa.txt"))},
                          line.toUtf8() + TextFiles::LineEnd);
    summaries_.setText(withLineOnTop(line, summaries_.text()));
    for (const auto &observer : summaryObservers_)
        observer(line, start);
    appendEventLog(NumberText::generalDateTime(start) + QStringLiteral(" Max Intensity---") +
                   intensity);
}

void EventLog::openMonthlyLog()
{
    const QDate today = clock_.now().date();
    const QString month = QString::number(today.year()) + QString::number(today.month());
    const std::optional<QString> answer = prompter_.askText(
        QStringLiteral("Please keyin year and month:"), QStringLiteral("Keyin box:"), month);
    if (!answer || answer->isEmpty())
        return;
    const QString path = folder_.file(QStringLiteral("Event/") + *answer + QStringLiteral(".txt"));
    // The log is plain text: without a viewer for it, the station shows it itself.
    if (openDocument(shell_, statusLine_, path) == DocumentOpened::NoViewer)
        shell_.showText(path, QStringLiteral("Event log ") + *answer);
}
