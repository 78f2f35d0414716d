#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

// The device samples 100 times a second: reading it faster only repeats the same values and
// burns both ends' CPU. A read follows the previous one by at least the pace's interval;
// slower answers are followed at once, as before.
class ReadPace : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 10;

    explicit ReadPace(std::function<void()> send, QObject *parent = nullptr);

    // Sends now when the interval since the last send has passed, otherwise once it has.
    void sendWhenDue();

private:
    void sendNow();

    std::function<void()> send_;
    QElapsedTimer sinceLastSend_;
    QTimer due_;
};
