#include "AlarmAnnouncer.h"

#include "AlertCaption.h"
#include "common/Form.h"
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

AlarmAnnouncer::AlarmAnnouncer(Form &form, EventState &events, const QStringList &triggerCaptions,
                               QWidget &window, QObject *parent)
    : QObject(parent), form_(form), events_(events), triggerCaptions_(triggerCaptions),
      heardCaption_(alarmOf(form.lblAlarm.text())), captionWasShown_(form.lblAlarm.isVisible())
{
    for (AlertCaption *&alert : alerts_)
        alert = new AlertCaption(&window);
    pending_.setSingleShot(true);
    pending_.setInterval(0);
    connect(&pending_, &QTimer::timeout, this, &AlarmAnnouncer::announcePending);
    for (int k = 0; k < int(lampLit_.size()); ++k) {
        lampLit_[k] = form.lblEvent[k].isVisible();
        connect(&form.lblEvent[k], &Control::changed, this, [this, k] { onLampChanged(k); });
    }
    connect(&form.lblAlarm, &Control::changed, &pending_, qOverload<>(&QTimer::start));
    connect(&events, &EventState::intensityChanged, this, &AlarmAnnouncer::onIntensityChanged);
}

void AlarmAnnouncer::onLampChanged(int lamp)
{
    const bool lit = form_.lblEvent[lamp].isVisible();
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
    const QString caption = form_.lblAlarm.text();
    const QString alarm = alarmOf(caption);
    const bool shown = form_.lblAlarm.isVisible();
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
