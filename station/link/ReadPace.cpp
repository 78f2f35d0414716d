#include "ReadPace.h"

ReadPace::ReadPace(std::function<void()> send, QObject *parent)
    : QObject(parent), send_(std::move(send))
{
    due_.setSingleShot(true);
    due_.setTimerType(Qt::PreciseTimer);
    connect(&due_, &QTimer::timeout, this, &ReadPace::sendNow);
}

void ReadPace::sendWhenDue()
{
    if (due_.isActive())
        return;
    const qint64 waited = sinceLastSend_.isValid() ? sinceLastSend_.elapsed() : IntervalMs;
    if (waited >= IntervalMs)
        sendNow();
    else
        due_.start(int(IntervalMs - waited));
}

void ReadPace::sendNow()
{
    sinceLastSend_.start();
    send_();
}
