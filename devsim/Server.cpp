#include "Server.h"

#include <modbus/modbus.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace devsim
{

namespace
{

using std::chrono::milliseconds;

constexpr auto splitGap = milliseconds(100);
constexpr auto dialRetry = milliseconds(1000);
constexpr auto rtuHangupPause = milliseconds(1000);
constexpr int dialTimeoutMs = 1000;
constexpr int idlePollMs = 1000;
constexpr size_t maxQueuedBytes = 256 * 1024; // a reader this far behind loses stream packets

void setNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}

std::string hex(const uint8_t *data, size_t length)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        if (i)
            out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::string peerName(int fd)
{
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    char host[NI_MAXHOST] = "?";
    char port[NI_MAXSERV] = "?";
    if (getpeername(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        getnameinfo(reinterpret_cast<sockaddr *>(&addr), len, host, sizeof host, port, sizeof port,
                    NI_NUMERICHOST | NI_NUMERICSERV);
    return std::string(host) + ":" + port;
}

bool awaitConnect(int fd)
{
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, dialTimeoutMs) != 1)
        return false;
    int error = 0;
    socklen_t len = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
}

int connectTo(const std::string &host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        const bool ok = connect(fd, a->ai_addr, a->ai_addrlen) == 0 ||
                        (errno == EINPROGRESS && awaitConnect(fd));
        if (!ok) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

size_t queuedBytes(const Connection &c)
{
    size_t n = 0;
    for (const Chunk &ch : c.outbox)
        n += ch.bytes.size() - ch.sent;
    return n;
}

int msUntil(SteadyClock::time_point now, SteadyClock::time_point then)
{
    if (then <= now)
        return 0;
    return int(std::chrono::ceil<milliseconds>(then - now).count());
}

} // namespace

Server::Server(Device &device, const Options &options)
    : device_(device), options_(options), garbage_(options.seed)
{
}

Server::~Server()
{
    for (auto &c : connections_)
        if (!c->rtu && !c->closed)
            ::close(c->fd);
    if (listenFd_ >= 0)
        ::close(listenFd_);
    if (tcpCtx_)
        modbus_free(tcpCtx_);
    if (rtuCtx_) {
        modbus_close(rtuCtx_);
        modbus_free(rtuCtx_);
    }
}

bool Server::start(std::string &error)
{
    started_ = SteadyClock::now();
    // The TCP context only parses requests; the sockets are ours (listening, accepted, dialled).
    tcpCtx_ = modbus_new_tcp(nullptr, options_.tcpPort);
    if (!tcpCtx_) {
        error = std::string("cannot create a Modbus TCP context: ") + modbus_strerror(errno);
        return false;
    }
    if (options_.tcp && !openTcp(error))
        return false;
    return options_.rtuDevice.empty() || openRtu(error);
}

bool Server::openTcp(std::string &error)
{
    listenFd_ = modbus_tcp_listen(tcpCtx_, 16);
    if (listenFd_ < 0) {
        error = "cannot listen on port " + std::to_string(options_.tcpPort) + ": " +
                modbus_strerror(errno);
        return false;
    }
    setNonBlocking(listenFd_);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr *>(&addr), &len);
    tcpPort_ = ntohs(addr.sin_port);
    return true;
}

bool Server::openRtu(std::string &error)
{
    const SerialSettings &s = options_.serial;
    rtuCtx_ = modbus_new_rtu(options_.rtuDevice.c_str(), s.baud, s.parity, s.dataBits, s.stopBits);
    if (!rtuCtx_ || modbus_set_slave(rtuCtx_, device_.slaveId()) != 0 ||
        modbus_connect(rtuCtx_) != 0) {
        error = "cannot open " + options_.rtuDevice + ": " + modbus_strerror(errno);
        return false;
    }
    auto c = std::make_unique<Connection>();
    c->fd = modbus_get_socket(rtuCtx_);
    c->rtu = true;
    c->peer = options_.rtuDevice;
    connections_.push_back(std::move(c));
    return true;
}

double Server::simSeconds(SteadyClock::time_point now) const
{
    return std::chrono::duration<double>(now - started_).count() * options_.speed;
}

void Server::log(const std::string &line) const
{
    if (options_.verbose)
        std::cerr << line << std::endl;
}

void Server::acceptClient()
{
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    c->peer = peerName(fd);
    log(c->peer + ": connected");
    connections_.push_back(std::move(c));
    closeIfSpent(*connections_.back());
}

void Server::dialIfDue(SteadyClock::time_point now)
{
    if (options_.dialHost.empty() || now < nextDial_)
        return;
    for (const auto &c : connections_)
        if (c->dialled)
            return;
    const int fd = connectTo(options_.dialHost, options_.dialPort);
    if (fd < 0) {
        log("cannot reach " + options_.dialHost + ":" + std::to_string(options_.dialPort));
        nextDial_ = SteadyClock::now() + dialRetry;
        return;
    }
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    c->dialled = true;
    c->peer = peerName(fd);
    log(c->peer + ": dialled");
    connections_.push_back(std::move(c));
    closeIfSpent(*connections_.back());
}

void Server::receive(Connection &c)
{
    if (c.rtu)
        receiveRtu(c);
    else
        receiveTcp(c);
}

void Server::receiveTcp(Connection &c)
{
    uint8_t frame[MODBUS_TCP_MAX_ADU_LENGTH];
    modbus_set_socket(tcpCtx_, c.fd);
    const int rc = modbus_receive(tcpCtx_, frame);
    if (rc <= 0) {
        close(c, errno == ECONNRESET ? "disconnected" : modbus_strerror(errno));
        return;
    }
    constexpr int mbapLength = 7;
    log(c.peer + ": " + hex(frame, size_t(rc)) + "  " +
        describePdu(frame + mbapLength, size_t(rc - mbapLength)));
    if (frame[2] != 0 || frame[3] != 0) {
        close(c, "not Modbus TCP (protocol identifier is not 0)"); // no way to resynchronise
        return;
    }
    if (options_.fault.kind == FaultKind::drop)
        return;
    const Answer answer = answerPdu(device_, frame + mbapLength, size_t(rc - mbapLength));
    applyStream(c, answer.stream);
    queue(c, tcpFrame(frame, answer.pdu), answerDelay());
}

void Server::receiveRtu(Connection &c)
{
    uint8_t frame[MODBUS_RTU_MAX_ADU_LENGTH];
    modbus_set_slave(rtuCtx_, device_.slaveId());
    const int rc = modbus_receive(rtuCtx_, frame);
    if (rc == 0)
        return; // addressed to another slave
    if (rc < 0) {
        const int error = errno;
        log(c.peer + ": " + modbus_strerror(error));
        // A bad CRC or a truncated frame was read whole; anything else may have left debris.
        if (error != EMBBADCRC && error != ETIMEDOUT)
            modbus_flush(rtuCtx_);
        return;
    }
    constexpr int crcLength = 2;
    log(c.peer + ": " + hex(frame, size_t(rc)) + "  " +
        describePdu(frame + 1, size_t(rc - 1 - crcLength)));
    if (options_.fault.kind == FaultKind::drop)
        return;
    const Answer answer = answerPdu(device_, frame + 1, size_t(rc - 1 - crcLength));
    applyStream(c, answer.stream);
    if (frame[0] != MODBUS_BROADCAST_ADDRESS)
        queue(c, rtuFrame(frame[0], answer.pdu), answerDelay());
}

void Server::applyStream(Connection &c, StreamCommand command)
{
    if (command == StreamCommand::none)
        return;
    if (c.rtu) {
        log(c.peer + ": no stream on a serial link");
        return;
    }
    if (command == StreamCommand::stop) {
        log(c.peer + ": stream stopped");
        c.streaming = false;
        return;
    }
    if (!c.streaming) {
        log(c.peer + ": stream started");
        c.streaming = true;
        c.nextSecond = int64_t(std::floor(simSeconds(SteadyClock::now())));
    }
}

SteadyClock::duration Server::answerDelay() const
{
    return std::chrono::milliseconds(options_.latencyMs);
}

void Server::queue(Connection &c, Bytes bytes, SteadyClock::duration delay)
{
    const SteadyClock::time_point notBefore = SteadyClock::now() + delay;
    if (options_.fault.kind == FaultKind::garbage)
        for (uint8_t &b : bytes)
            b = uint8_t(garbage_());
    if (options_.fault.kind == FaultKind::split && bytes.size() > 1) {
        const auto half = bytes.begin() + std::ptrdiff_t(bytes.size() / 2);
        c.outbox.push_back({Bytes(bytes.begin(), half), 0, false, notBefore});
        c.outbox.push_back({Bytes(half, bytes.end()), 0, true, {}});
    } else {
        c.outbox.push_back({std::move(bytes), 0, false, notBefore});
    }
    flush(c, SteadyClock::now());
}

void Server::queueStream(Connection &c, SteadyClock::time_point now)
{
    if (!c.streaming || c.closed)
        return;
    const int64_t completed = int64_t(std::floor(simSeconds(now)));
    for (; c.nextSecond < completed; ++c.nextSecond) {
        if (queuedBytes(c) > maxQueuedBytes) {
            log(c.peer + ": reader too slow, stream packets skipped");
            c.nextSecond = completed;
            return;
        }
        queue(c, device_.streamPacket(c.nextSecond));
        if (c.closed)
            return;
    }
}

void Server::flush(Connection &c, SteadyClock::time_point now)
{
    const bool limited = options_.fault.kind == FaultKind::closeAfter;
    while (!c.closed && !c.outbox.empty()) {
        Chunk &chunk = c.outbox.front();
        if (chunk.notBefore > now)
            return;
        size_t length = chunk.bytes.size() - chunk.sent;
        if (limited)
            length =
                size_t(std::min<uint64_t>(length, options_.fault.closeAfterBytes - c.bytesWritten));
        const ssize_t n = ::write(c.fd, chunk.bytes.data() + chunk.sent, length);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            close(c, std::strerror(errno));
            return;
        }
        chunk.sent += size_t(n);
        c.bytesWritten += uint64_t(n);
        if (closeIfSpent(c))
            return;
        if (chunk.sent < chunk.bytes.size())
            continue;
        c.outbox.pop_front();
        if (!c.outbox.empty() && c.outbox.front().afterGap)
            c.outbox.front().notBefore = now + splitGap;
    }
}

bool Server::closeIfSpent(Connection &c)
{
    if (options_.fault.kind != FaultKind::closeAfter ||
        c.bytesWritten < options_.fault.closeAfterBytes)
        return false;
    close(c, "byte limit reached");
    return true;
}

void Server::close(Connection &c, const std::string &why)
{
    if (c.closed)
        return;
    log(c.peer + ": " + why);
    if (c.rtu) {
        c.outbox.clear(); // the serial port stays open; only what was queued is lost
        return;
    }
    ::close(c.fd);
    c.closed = true;
    if (c.dialled)
        nextDial_ = SteadyClock::now() + dialRetry;
}

int Server::pollTimeoutMs(SteadyClock::time_point now) const
{
    int timeout = idlePollMs;
    const double sim = simSeconds(now);
    for (const auto &c : connections_) {
        if (c->streaming) {
            const double wait = (double(c->nextSecond + 1) - sim) / options_.speed;
            timeout = std::min(timeout, std::max(0, int(std::ceil(wait * 1000))));
        }
        // A piece due now waits for POLLOUT instead; only a gap still to run sets a deadline.
        if (!c->outbox.empty() && c->outbox.front().notBefore > now)
            timeout = std::min(timeout, msUntil(now, c->outbox.front().notBefore));
    }
    if (!options_.dialHost.empty())
        timeout = std::min(timeout, msUntil(now, nextDial_));
    if (rtuQuietUntil_ > now)
        timeout = std::min(timeout, msUntil(now, rtuQuietUntil_));
    return timeout;
}

short Server::pollEvents(const Connection &c, SteadyClock::time_point now) const
{
    short events = 0;
    const bool stalled = options_.fault.kind == FaultKind::stall;
    if (c.rtu) {
        if (!stalled && now >= rtuQuietUntil_)
            events |= POLLIN;
    } else {
        events |= stalled ? POLLRDHUP : POLLIN;
    }
    if (!stalled && !c.outbox.empty() && c.outbox.front().notBefore <= now)
        events |= POLLOUT;
    return events;
}

void Server::serve(Connection &c, short revents, SteadyClock::time_point now)
{
    if (c.rtu && (revents & (POLLHUP | POLLERR)) && !(revents & POLLIN)) {
        log(c.peer + ": serial line hung up");
        rtuQuietUntil_ = now + rtuHangupPause;
        return;
    }
    if (revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL) && !(revents & POLLIN)) {
        close(c, "disconnected");
        return;
    }
    if (revents & POLLIN)
        receive(c);
    if ((revents & POLLOUT) && !c.closed)
        flush(c, now);
}

void Server::run(const volatile std::sig_atomic_t &stopRequested)
{
    std::vector<pollfd> fds;
    while (!stopRequested) {
        auto now = SteadyClock::now();
        device_.setElapsed(simSeconds(now));
        dialIfDue(now);
        for (auto &c : connections_)
            queueStream(*c, now);
        fds.clear();
        if (listenFd_ >= 0)
            fds.push_back({listenFd_, POLLIN, 0});
        for (const auto &c : connections_)
            fds.push_back({c->fd, pollEvents(*c, now), 0});
        if (poll(fds.data(), fds.size(), pollTimeoutMs(now)) < 0) {
            if (errno == EINTR)
                continue;
            std::cerr << "poll failed: " << std::strerror(errno) << std::endl;
            return;
        }
        now = SteadyClock::now();
        device_.setElapsed(simSeconds(now));
        size_t i = 0;
        const bool listenReady = listenFd_ >= 0 && (fds[i++].revents & POLLIN);
        for (auto &c : connections_) {
            const short revents = fds[i++].revents;
            if (revents)
                serve(*c, revents, now);
        }
        connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                          [](const auto &c) { return c->closed; }),
                           connections_.end());
        if (listenReady)
            acceptClient();
    }
}

} // namespace devsim
