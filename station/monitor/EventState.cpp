#include "EventState.h"

#include "common/LiveFields.h"
#include "common/NumberText.h"

namespace
{

// The device's intensity as a number; its not-yet-read mark is no intensity at all.
double intensityValue(const QString &text)
{
    if (text.isEmpty() || text == QLatin1String(LiveFields::NotYetRead))
        return -1;
    return NumberText::leadingNumber(text);
}

} // namespace

void EventState::run()
{
    if (inProgress_)
        return;
    inProgress_ = true;
    // The start moves with every later change of the flags; the operator is told the first.
    firstStart_ = startTime_;
    peakIntensity_ = intensityValue(intensity_);
    emit started();
    emit lastEventChanged();
}

void EventState::end()
{
    if (!inProgress_)
        return;
    inProgress_ = false;
    // Each event of a sequence gets its own summary: one still waiting for its answers is
    // written now rather than taking the next event's start.
    if (summaryPending_)
        emit summaryDue(summaryStart_);
    summaryPending_ = true;
    summaryStart_ = startTime_;
    answersSinceEnd_ = 0;
    lastEventStart_ = firstStart_;
    emit ended();
    emit lastEventChanged();
}

void EventState::countAnswer()
{
    if (!summaryPending_ || ++answersSinceEnd_ < SummaryDelayAnswers)
        return;
    summaryPending_ = false;
    answersSinceEnd_ = 0;
    emit summaryDue(summaryStart_);
}

void EventState::setIntensity(const QString &intensity)
{
    if (intensity == intensity_)
        return;
    intensity_ = intensity;
    if (inProgress_)
        peakIntensity_ = qMax(peakIntensity_, intensityValue(intensity));
    emit intensityChanged(intensity);
}

QString EventState::lastEventLine() const
{
    if (inProgress_ || !lastEventStart_.isValid())
        return QString();
    const QString intensity =
        peakIntensity_ < 0 ? QStringLiteral("\u2014") : NumberText::doubleText(peakIntensity_);
    return QStringLiteral("Last event %1, intensity %2")
        .arg(lastEventStart_.toString(QStringLiteral("HH:mm:ss")), intensity);
}
