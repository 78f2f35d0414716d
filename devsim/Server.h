#pragma once

#include "Device.h"
#include "ModbusPdu.h"
#include "Options.h"

#include <chrono>
#include <csignal>
#include <deque>
#include <memory>
#include <random>
#include <string>

struct _modbus;

namespace devsim
{

using SteadyClock = std::chrono::steady_clock;

// Bytes waiting to go out; a piece may have to wait for a gap after the one before it.
struct Chunk {
    Bytes bytes;
    size_t sent = 0;
    bool afterGap = false;
    SteadyClock::time_point notBefore{};
};

struct Connection {
    int fd = -1;
    bool rtu = false;
    bool dialled = false;
    std::string peer;
    bool streaming = false;
    int64_t nextSecond = 0;
    uint64_t bytesWritten = 0;
    bool closed = false;
    std::deque<Chunk> outbox;
};

// One thread, one poll() loop: Modbus requests are read with libmodbus, answers and stream
// packets queue per connection and go out when the socket can take them, so a stream packet
// never cuts into an answer.
class Server
{
public:
    Server(Device &device, const Options &options);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    bool start(std::string &error);
    int tcpPort() const { return tcpPort_; }
    void run(const volatile std::sig_atomic_t &stopRequested);

private:
    bool openTcp(std::string &error);
    bool openRtu(std::string &error);
    double simSeconds(SteadyClock::time_point now) const;
    void acceptClient();
    void dialIfDue(SteadyClock::time_point now);
    void receive(Connection &c);
    void receiveTcp(Connection &c);
    void receiveRtu(Connection &c);
    void applyStream(Connection &c, StreamCommand command);
    // `delay`: the device's answering time; nothing leaves before it has passed.
    void queue(Connection &c, Bytes bytes, SteadyClock::duration delay = {});
    SteadyClock::duration answerDelay() const;
    void queueStream(Connection &c, SteadyClock::time_point now);
    void flush(Connection &c, SteadyClock::time_point now);
    bool closeIfSpent(Connection &c);
    void close(Connection &c, const std::string &why);
    int pollTimeoutMs(SteadyClock::time_point now) const;
    short pollEvents(const Connection &c, SteadyClock::time_point now) const;
    void serve(Connection &c, short revents, SteadyClock::time_point now);
    void log(const std::string &line) const;

    Device &device_;
    Options options_;
    _modbus *tcpCtx_ = nullptr;
    _modbus *rtuCtx_ = nullptr;
    int listenFd_ = -1;
    int tcpPort_ = -1;
    SteadyClock::time_point started_;
    SteadyClock::time_point nextDial_{};
    SteadyClock::time_point rtuQuietUntil_{};
    std::deque<std::unique_ptr<Connection>> connections_;
    std::mt19937_64 garbage_;
};

} // namespace devsim
