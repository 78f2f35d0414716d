#include "EventState.h"

void EventState::run()
{
    if (inProgress_)
        return;
    inProgress_ = true;
    emit started();
}

void EventState::end()
{
    if (!inProgress_)
        return;
    inProgress_ = false;
    summaryPending_ = true;
    answersSinceEnd_ = 0;
    emit ended();
}

void EventState::countAnswer()
{
    if (!summaryPending_ || ++answersSinceEnd_ < SummaryDelayAnswers)
        return;
    summaryPending_ = false;
    answersSinceEnd_ = 0;
    emit summaryDue(startTime_);
}

void EventState::setIntensity(const QString &intensity)
{
    if (intensity == intensity_)
        return;
    intensity_ = intensity;
    emit intensityChanged(intensity);
}
