#include "OutageMark.h"

#include "common/Control.h"
#include "common/LiveFields.h"
#include "link/LinkStatus.h"
#include "monitor/EventState.h"

OutageMark::OutageMark(LinkStatus &status, EventState &events, Control &intensity, Control &caption,
                       QObject *parent)
    : QObject(parent), status_(status), intensity_(intensity), caption_(caption)
{
    connect(&status, &LinkStatus::silentChanged, this, &OutageMark::onSilentChanged);
    connect(&events, &EventState::ended, this, &OutageMark::release);
    connect(&intensity, &Control::changed, this, &OutageMark::onLiveChanged);
    connect(&caption, &Control::changed, this, &OutageMark::onLiveChanged);
    if (status.isSilent())
        onSilentChanged(true);
}

QString OutageMark::notice() const
{
    if (!stale_)
        return QString();
    const QDateTime last = status_.lastDataTime();
    return last.isValid()
               ? QStringLiteral("no data since ") + last.toString(QStringLiteral("HH:mm:ss"))
               : QStringLiteral("no data yet");
}

QString OutageMark::intensity() const
{
    const QString text = holding_ ? heldIntensity_ : intensity_.text();
    return text == QLatin1String(LiveFields::NotYetRead) ? QStringLiteral("\u2014") : text;
}

QString OutageMark::caption() const
{
    return holding_ ? heldCaption_ : caption_.text();
}

bool OutageMark::isCaptionVisible() const
{
    return holding_ ? heldCaptionVisible_ : caption_.isVisible();
}

void OutageMark::onSilentChanged(bool silent)
{
    if (silent == stale_)
        return;
    stale_ = silent;
    holding_ = silent;
    if (silent) {
        heldIntensity_ = intensity_.text();
        heldCaption_ = caption_.text();
        heldCaptionVisible_ = caption_.isVisible();
    }
    emit changed();
}

// While held, what happens to the live labels (a reopened link writing its zeros) is not shown.
void OutageMark::onLiveChanged()
{
    if (!holding_)
        emit changed();
}

// The event ended: what it left is shown, still marked stale while the link stays silent.
void OutageMark::release()
{
    if (!holding_)
        return;
    holding_ = false;
    emit changed();
}
