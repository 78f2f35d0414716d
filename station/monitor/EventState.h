#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <array>

// The three kinds of alarm the device raises from the event flags, in the flags' bit order.
enum class AlarmKind { Displacement, Pd, Pga };
inline constexpr std::array<AlarmKind, 3> AllAlarmKinds = {AlarmKind::Displacement, AlarmKind::Pd,
                                                           AlarmKind::Pga};

// The event as the station sees it: per alarm kind the trigger, the Watch and Warning captions
// already shown and the peak; whether an event runs and when it began; the P-wave alarm; the
// intensity shown; and the event summary that waits for the device's final values.
class EventState : public QObject
{
    Q_OBJECT
public:
    // Answers the summary waits after an event, so that the device's maxima are final.
    static constexpr int SummaryDelayAnswers = 10;

    struct Alarm {
        bool triggerActive = false;
        bool watchShown = false;
        bool warningShown = false;
        float peak = 0;
    };

    explicit EventState(QObject *parent = nullptr) : QObject(parent) {}

    Alarm &alarm(AlarmKind kind) { return alarms_[std::size_t(kind)]; }
    const Alarm &alarm(AlarmKind kind) const { return alarms_[std::size_t(kind)]; }

    // A Pd or PGA trigger holds the P-wave alarm (its caption gives way to theirs).
    bool pWaveAlarmActive() const { return pWaveAlarmActive_; }
    void setPWaveAlarmActive(bool active) { pWaveAlarmActive_ = active; }

    bool isInProgress() const { return inProgress_; }
    QDateTime startTime() const { return startTime_; }
    // The flags left 0, or changed while the event runs: a start given moves the event's start.
    void run();
    void setStartTime(const QDateTime &start) { startTime_ = start; }
    // The flags returned to 0: the event ends and its summary, with the start it had, becomes
    // due after `SummaryDelayAnswers` more answers. Nothing happens while no event runs.
    void end();
    // One answer from the device has been decoded.
    void countAnswer();
    bool isSummaryPending() const { return summaryPending_; }

    QString intensity() const { return intensity_; }
    void setIntensity(const QString &intensity);

    // "Last event hh:mm:ss, intensity N" once an event has ended: its start and the highest
    // intensity the device reported during it. Empty before the first event and while one runs.
    QString lastEventLine() const;

signals:
    void started();
    void ended();
    void summaryDue(const QDateTime &start);
    void intensityChanged(const QString &intensity);
    void lastEventChanged();

private:
    std::array<Alarm, AllAlarmKinds.size()> alarms_{};
    bool pWaveAlarmActive_ = false;
    bool inProgress_ = false;
    QDateTime startTime_;
    bool summaryPending_ = false;
    QDateTime summaryStart_;
    int answersSinceEnd_ = 0;
    QString intensity_;
    // The highest intensity of the running event, or of the last one once it ended; -1: none read.
    double peakIntensity_ = -1;
    QDateTime firstStart_;
    QDateTime lastEventStart_;
};
