#include "Waiter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

void EventLoopWaiter::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool EventLoopWaiter::waitWhile(const std::function<bool()> &busy, int timeoutMs, int stepMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (busy()) {
        if (elapsed.elapsed() >= timeoutMs)
            return false;
        pause(stepMs);
    }
    return true;
}
