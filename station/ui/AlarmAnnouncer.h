#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>

class AlertCaption;
class EventState;
struct AlarmPanel;

// Decides what a screen reader hears of an alarm: a trigger lamp lighting (its caption), each
// new alarm caption (Watch, Warning, P wave, a trigger's end) and each change of intensity
// while an event runs. What changes while one packet is handled is told once, when it is done,
// so that a caption set and then shown is heard once, and an unchanged one not again; a
// caption whose peak alone rises is the same alarm and is not told again.
class AlarmAnnouncer : public QObject
{
    Q_OBJECT
public:
    // `triggerCaptions`: the caption of each of the panel's trigger lamps, in their order. The
    // alerts are children of `window`.
    AlarmAnnouncer(AlarmPanel &panel, EventState &events, const QStringList &triggerCaptions,
                   QWidget &window, QObject *parent = nullptr);

private:
    void onLampChanged(int lamp);
    void onIntensityChanged(const QString &intensity);
    void announcePending();
    void announce(const QString &text);

    AlarmPanel &panel_;
    EventState &events_;
    QStringList triggerCaptions_;
    // Assistive technology reads an alert's name after its event arrives: each announcement
    // takes the next alert of a ring, so that the ones just before still hold their own text.
    std::array<AlertCaption *, 8> alerts_{};
    std::size_t nextAlert_ = 0;
    QTimer pending_;
    QStringList pendingTriggers_;
    QString pendingIntensity_;
    std::array<bool, 4> lampLit_{};
    QString heardCaption_; // without its numbers
    bool captionWasShown_ = false;
};
