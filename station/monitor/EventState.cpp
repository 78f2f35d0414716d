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
    // Each event of a sequence gets its own summary: one still waiting for its answers is
    // written now rather than taking the next event's start.
    if (summaryPending_)
        emit summaryDue(summaryStart_);
    summaryPending_ = true;
    summaryStart_ = startTime_;
    answersSinceEnd_ = 0;
    emit ended();
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
    emit intensityChanged(intensity);
}
