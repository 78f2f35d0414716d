#include "AlarmAnnouncer.h"

#include "AlertCaption.h"
#include "monitor/AlarmPanel.h"
#include "monitor/EventState.h"

#include <QRegularExpression>

namespace
{

// A caption as the alarm it names: "P Warning Pd 0.351 cm" and "P Warning Pd 0.4 cm" are one.
QString alarmOf(const QString &caption)
{
    static const QRegularExpression number(QStringLiteral("[-+]?[0-9]+([.][0-9]*)?"));
    return QString(caption).remove(number);
}

} // namespace

AlarmAnnouncer::AlarmAnnouncer(AlarmPanel &panel, EventState &events,
                               const QStringList &triggerCaptions, QWidget &window, QObject *parent)
    : QObject(parent), panel_(panel), events_(events), triggerCaptions_(triggerCaptions),
      heardCaption_(alarmOf(panel.caption.text())), captionWasShown_(panel.caption.isVisible())
{
    for (AlertCaption *&alert : alerts_)
        alert = new AlertCaption(&window);
    pending_.setSingleShot(true);
    pending_.setInterval(0);
    connect(&pending_, &QTimer::timeout, this, &AlarmAnnouncer::announcePending);
    for (int k = 0; k < int(lampLit_.size()); ++k) {
        lampLit_[k] = panel.triggerLamps[std::size_t(k)].isVisible();
        connect(&panel.triggerLamps[std::size_t(k)], &Control::changed, this,
                [this, k] { onLampChanged(k); });
    }
    connect(&panel.caption, &Control::changed, &pending_, qOverload<>(&QTimer::start));
    connect(&events, &EventState::intensityChanged, this, &AlarmAnnouncer::onIntensityChanged);
}

void AlarmAnnouncer::onLampChanged(int lamp)
{
    const bool lit = panel_.triggerLamps[std::size_t(lamp)].isVisible();
    if (lit && !lampLit_[lamp]) {
        pendingTriggers_ << triggerCaptions_.value(lamp);
        pending_.start();
    }
    lampLit_[lamp] = lit;
}

void AlarmAnnouncer::onIntensityChanged(const QString &intensity)
{
    if (!events_.isInProgress() || intensity.isEmpty())
        return;
    pendingIntensity_ = intensity;
    pending_.start();
}

// A trigger's end sets its caption without showing it: a new alarm is heard whether shown or
// not; the same one again only when it comes back on screen.
void AlarmAnnouncer::announcePending()
{
    for (const QString &caption : std::as_const(pendingTriggers_))
        announce(caption);
    pendingTriggers_.clear();
    const QString caption = panel_.caption.text();
    const QString alarm = alarmOf(caption);
    const bool shown = panel_.caption.isVisible();
    if (!caption.isEmpty() && (alarm != heardCaption_ || (shown && !captionWasShown_)))
        announce(caption);
    heardCaption_ = alarm;
    captionWasShown_ = shown;
    if (!pendingIntensity_.isEmpty())
        announce(QStringLiteral("Intensity ") + pendingIntensity_);
    pendingIntensity_.clear();
}

void AlarmAnnouncer::announce(const QString &text)
{
    alerts_[nextAlert_]->announce(text);
    nextAlert_ = (nextAlert_ + 1) % alerts_.size();
}
