#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

// The device samples 100 times a second: reading it faster only repeats the same values and
// burns both ends' CPU. Reads are due on a grid of the pace's interval, so a poll whose answers
// come in time keeps the device's own pace (the timer's lateness does not add up read after
// read, and the continuous archive can take each answer as the next sample). An answer that
// comes after the next read was due is followed at once; one a whole interval late starts the
// grid again from then.
class ReadPace : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 10;

    explicit ReadPace(std::function<void()> send, QObject *parent = nullptr);

    // Sends now when the next read is due, otherwise once it is.
    void sendWhenDue();

private:
    void sendAt(qint64 dueNs);

    std::function<void()> send_;
    QElapsedTimer clock_;
    qint64 lastDueNs_ = 0;
    bool sent_ = false;
    QTimer due_;
};
