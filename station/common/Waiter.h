#pragma once

#include <functional>

// Pauses of the window thread. The station never blocks: a pause runs a nested event loop,
// so timers, sockets and the window keep working while it lasts. Handlers that can be
// re-entered through such a pause guard themselves.
class Waiter
{
public:
    virtual ~Waiter() = default;
    // Lets `ms` milliseconds pass while processing events.
    virtual void pause(int ms) = 0;
    // Processes events in steps of `stepMs` while `busy()` holds, at most `timeoutMs` in all.
    // Returns false when the time ran out.
    virtual bool waitWhile(const std::function<bool()> &busy, int timeoutMs, int stepMs) = 0;
};

class EventLoopWaiter : public Waiter
{
public:
    void pause(int ms) override;
    bool waitWhile(const std::function<bool()> &busy, int timeoutMs, int stepMs) override;
};
