#include "Fakes.h"

#include <QCoreApplication>
#include <QElapsedTimer>

void FakeWaiter::pause(int ms)
{
    pauses << ms;
    QCoreApplication::processEvents();
}

bool FakeWaiter::waitWhile(const std::function<bool()> &busy, int timeoutMs, int)
{
    timeouts << timeoutMs;
    QElapsedTimer elapsed;
    elapsed.start();
    const int cap = qMin(timeoutMs, waitCapMs);
    while (busy()) {
        if (elapsed.elapsed() >= cap)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

bool ScriptedPrompter::askYesNo(const QString &text, const QString &title)
{
    asked << title + QLatin1Char('|') + text;
    if (dialogs)
        return dialogs->askYesNo(text, title);
    return yesNoAnswers.isEmpty() ? false : yesNoAnswers.takeFirst();
}

std::optional<QString> ScriptedPrompter::askText(const QString &prompt, const QString &title,
                                                 const QString &defaultText)
{
    asked << title + QLatin1Char('|') + prompt;
    defaults << defaultText;
    return textAnswers.isEmpty() ? std::nullopt : textAnswers.takeFirst();
}

void ScriptedPrompter::inform(const QString &text, const QString &title)
{
    told << title + QLatin1Char('|') + text;
}

void RecordingChart::startTracesAt(int sample)
{
    operations << QStringLiteral("start %1").arg(sample);
}

void RecordingChart::selectTrace(int trace)
{
    operations << QStringLiteral("select %1").arg(trace);
}

void RecordingChart::setRange(double upper, double lower)
{
    operations << QStringLiteral("range %1 %2").arg(upper).arg(lower);
}

void RecordingChart::setVisibleWidth(double width)
{
    operations << QStringLiteral("width %1").arg(width);
}

void RecordingChart::addSample(int trace, double value)
{
    if (trace >= 0 && trace < int(samples.size()))
        samples[trace].push_back(value);
    if (recordSamples)
        operations << QStringLiteral("add %1 %2").arg(trace).arg(value);
}

void RecordingChart::addBlock(int trace, const Block &values)
{
    ++blocks;
    if (trace >= 0 && trace < int(samples.size()))
        samples[trace].insert(samples[trace].end(), values.begin(), values.end());
    if (recordSamples)
        operations << QStringLiteral("block %1").arg(trace);
}

void RecordingChart::clear()
{
    for (auto &trace : samples)
        trace.clear();
    operations << QStringLiteral("clear");
}

void RecordingChart::setSampleExtent(int extent)
{
    operations << QStringLiteral("extent %1").arg(extent);
}

void RecordingChart::setViewPosition(int sample)
{
    operations << QStringLiteral("view %1").arg(sample);
}

void RecordingChart::markCurrentSample()
{
    ++marks;
    operations << QStringLiteral("mark");
}

void RecordingChart::breakTraces()
{
    operations << QStringLiteral("break");
}

void RecordingChart::skipSamples(int count)
{
    operations << QStringLiteral("skip %1").arg(count);
}

void RecordingChart::fitRangeToData()
{
    operations << QStringLiteral("fit");
}
