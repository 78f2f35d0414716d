#pragma once

#include <QObject>
#include <QString>

class Control;
class EventState;
class LinkStatus;

// What the live view shows while the link is silent. The values and lamps stay as they were,
// marked stale ("no data since hh:mm:ss"); the intensity and the alarm caption the operator
// saw when the link fell silent are held until data comes again or the event ends, so that an
// outage in the middle of an event never reads as the event being over.
class OutageMark : public QObject
{
    Q_OBJECT
public:
    // `intensity` and `caption` are the live intensity label and alarm caption.
    OutageMark(LinkStatus &status, EventState &events, Control &intensity, Control &caption,
               QObject *parent = nullptr);

    bool isStale() const { return stale_; }
    // "no data since hh:mm:ss" while stale, empty otherwise.
    QString notice() const;

    // The intensity and alarm caption to show; the device's not-yet-read mark shows as "—".
    QString intensity() const;
    QString caption() const;
    bool isCaptionVisible() const;

signals:
    void changed();

private:
    void onSilentChanged(bool silent);
    void onLiveChanged();
    void release();

    LinkStatus &status_;
    Control &intensity_;
    Control &caption_;
    bool stale_ = false;
    bool holding_ = false;
    QString heldIntensity_;
    QString heldCaption_;
    bool heldCaptionVisible_ = false;
};
