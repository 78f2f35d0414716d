#include "ReadPace.h"

namespace
{

constexpr qint64 IntervalNs = qint64(ReadPace::IntervalMs) * 1000000;

} // namespace

ReadPace::ReadPace(std::function<void()> send, QObject *parent)
    : QObject(parent), send_(std::move(send))
{
    clock_.start();
    due_.setSingleShot(true);
    due_.setTimerType(Qt::PreciseTimer);
    connect(&due_, &QTimer::timeout, this, [this] { sendAt(lastDueNs_ + IntervalNs); });
}

void ReadPace::sendWhenDue()
{
    if (due_.isActive())
        return;
    const qint64 now = clock_.nsecsElapsed();
    const qint64 next = lastDueNs_ + IntervalNs;
    if (!sent_ || now - next >= IntervalNs)
        sendAt(now);
    else if (now >= next)
        sendAt(next);
    else
        due_.start(int((next - now + 999999) / 1000000));
}

void ReadPace::sendAt(qint64 dueNs)
{
    lastDueNs_ = dueNs;
    sent_ = true;
    send_();
}
