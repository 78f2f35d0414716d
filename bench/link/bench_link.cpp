#include "BenchSupport.h"
#include "PtyPair.h"
#include "common/DecodedPacket.h"
#include "common/Waiter.h"
#include "link/Decoder.h"
#include "link/DemoDevice.h"
#include "link/ModbusFrames.h"
#include "link/ReadPace.h"
#include "shell/Station.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <ctime>
#include <linux/tcp.h> // tcp_info with the byte counts
#include <memory>
#include <modbus.h>
#include <optional>
#include <sys/socket.h>
#include <thread>

namespace
{

// The station reads at the device's pace, 100 times a second: a block of 20 answers takes a
// fifth of a second. A loop that reads back to back takes 100 per iteration.
constexpr int PacedResponsesPerIteration = 20;
constexpr int ResponsesPerIteration = 100;
constexpr int GiveUpMs = 30000;
constexpr int PlainReadRegisters = 107; // the longest poll
constexpr int ReadRequestBytes = 12;    // MBAP header, function, first register, count
// Every how many decoded answers the station's socket is asked what it has sent.
constexpr int WireSampleEvery = 16;

void startSimulator(DemoDevice &sim, const QStringList &extra = {})
{
    QString error;
    if (!sim.start(QStringLiteral(DEVSIM_PROGRAM),
                   QStringList{"--tcp", "0", "--scenario", "quiet"} + extra, &error))
        qFatal("simulator: %s", qPrintable(error));
}

// The Modbus TCP device the TCP benchmarks read: a simulator of their own, or the port on
// loopback that VORSA_BENCH_DEVICE_PORT names (bench/poll-wire.sh puts a counting proxy there,
// in front of a simulator, to count the benchmark's requests on the wire).
class TcpDevice
{
public:
    TcpDevice()
    {
        bool given = false;
        port_ = quint16(qEnvironmentVariableIntValue("VORSA_BENCH_DEVICE_PORT", &given));
        if (!given) {
            startSimulator(sim_);
            port_ = sim_.port();
        }
    }
    quint16 port() const { return port_; }

private:
    DemoDevice sim_;
    quint16 port_ = 0;
};

// The bytes one TCP socket of this process has sent and received, as the kernel counts them.
struct WireBytes {
    quint64 sent = 0;
    quint64 received = 0;
};

WireBytes wireBytes(int fd)
{
    tcp_info info{};
    socklen_t size = sizeof info;
    if (fd < 0 || ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return {};
    return {info.tcpi_bytes_sent, info.tcpi_bytes_received};
}

// This process's TCP connection to `port` on loopback other than `other`; -1 when none.
int connectionTo(quint16 port, int other = -1)
{
    for (int fd = 3; fd < 1024; ++fd) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        if (fd == other || ::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &size) != 0)
            continue;
        if (peer.sin_family == AF_INET && ntohs(peer.sin_port) == port)
            return fd;
    }
    return -1;
}

// CPU time of this process, all its threads: the station's and the plain client's work both
// run in it, the simulator does not.
qint64 processCpuNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A station polling a device as the headless program runs it, its one-second timers included:
// the link's own first poll starts the request chain and every answer is followed by the next
// read at the device's pace. Answers are counted when decoded, as the plain client counts the
// reads that returned.
struct PollRig {
    // On the serial link the rig starts a simulator of its own on a pty pair.
    PollRig(bool serial, quint16 tcpPort)
    {
        QObject::connect(&station.decoder(), &Decoder::packetDecoded, &station.decoder(),
                         [this](const DecodedPacket &) { onAnswerDecoded(); });
        // Started as the headless program starts it, with the continuous archive.
        station.start(QString());
        if (serial) {
            pty.emplace();
            startSimulator(ownSim, {QStringLiteral("--rtu"), pty->secondEnd(),
                                    QStringLiteral("--id"), QStringLiteral("1")});
            station.connectionPage().selectLinkKind(LinkKind::Rtu);
            station.connectionPage().serialPortField.setText(pty->firstEnd());
            station.connectionPage().unitAddressField.setText(QStringLiteral("1"));
        } else {
            station.connectionPage().hostField.setText(QStringLiteral("127.0.0.1"));
            station.connectionPage().portField.setText(QString::number(tcpPort));
        }
        station.openLink();
        if (!serial) {
            runEventLoopUntil([this] { return station.clientLink().isOpen(); }, GiveUpMs);
            socket = connectionTo(tcpPort);
        }
    }

    // Lets the station take `count` more responses; false when the device fell silent.
    bool takeResponses(int count)
    {
        const qint64 target = answers + count;
        return runEventLoopUntil([&] { return answers >= target; }, GiveUpMs);
    }

    // While an answer is being decoded the next request is not sent yet: with one request
    // chain the kernel has sent as many requests as there are answers, a second chain's
    // request would be one more.
    void onAnswerDecoded()
    {
        ++answers;
        if (socket < 0 || answers % WireSampleEvery != 0)
            return;
        const qint64 sent = qint64(wireBytes(socket).sent / ReadRequestBytes);
        maxInFlight = std::max(maxInFlight, 1 + sent - answers);
    }

    std::optional<PtyPair> pty;
    DemoDevice ownSim;
    // The platform of the headless program: the real clock and waits, charts that draw
    // nothing; only sound, documents and questions are faked.
    QTemporaryDir dir;
    SystemClock clock;
    EventLoopWaiter waiter;
    RecordingSound sound;
    RecordingShell shell;
    ScriptedPrompter prompter;
    NoOpChart strip1, strip2, strip3;
    Station station{StationServices{ProgramFolder(dir.path()), clock, waiter, sound, shell,
                                    prompter, strip1, strip2, strip3}};
    int socket = -1; // the client link's connection, for the wire counts
    qint64 answers = 0;
    qint64 maxInFlight = 0;
};

// The plain client: what a bare libmodbus loop reads from the same simulator.
class PlainClient
{
public:
    explicit PlainClient(quint16 port) : ctx_(modbus_new_tcp("127.0.0.1", port))
    {
        modbus_set_slave(ctx_, 1);
        connected_ = modbus_connect(ctx_) == 0;
    }
    ~PlainClient()
    {
        modbus_close(ctx_);
        modbus_free(ctx_);
    }
    PlainClient(const PlainClient &) = delete;
    PlainClient &operator=(const PlainClient &) = delete;

    bool isConnected() const { return connected_; }
    int socket() const { return modbus_get_socket(ctx_); }
    // Reads as fast as the device answers.
    bool read(int times)
    {
        for (int i = 0; i < times; ++i)
            if (!readOnce())
                return false;
        return true;
    }
    // Reads at the station's pace: each read is sent at least the pace's interval after the
    // previous one was, as the station's link sends its next read.
    bool readPaced(int times)
    {
        using Clock = std::chrono::steady_clock;
        constexpr auto interval = std::chrono::milliseconds(ReadPace::IntervalMs);
        for (int i = 0; i < times; ++i) {
            if (lastSend_)
                std::this_thread::sleep_until(*lastSend_ + interval);
            lastSend_ = Clock::now();
            if (!readOnce())
                return false;
        }
        return true;
    }

private:
    bool readOnce()
    {
        return modbus_read_registers(ctx_, ModbusFrames::PollStartRegister, PlainReadRegisters,
                                     registers_.data()) == PlainReadRegisters;
    }

    modbus_t *ctx_;
    bool connected_ = false;
    std::optional<std::chrono::steady_clock::time_point> lastSend_;
    std::array<uint16_t, PlainReadRegisters> registers_{};
};

// CPU time per answer, in µs, over a stretch of `answers` answers.
double cpuMicrosecondsPerAnswer(qint64 cpuNs, double answers)
{
    return answers > 0 ? double(cpuNs) / 1e3 / answers : 0;
}

// The station's poll alone: answers per second (items_per_second) and CPU time per answer.
void stationPoll(benchmark::State &state, bool serial)
{
    std::optional<TcpDevice> device;
    if (!serial)
        device.emplace();
    PollRig rig(serial, device ? device->port() : 0);
    if (!rig.takeResponses(1)) {
        state.SkipWithError("no answer from the device");
        return;
    }
    const qint64 answers0 = rig.answers;
    const qint64 cpu0 = processCpuNs();
    for (auto _ : state)
        if (!rig.takeResponses(PacedResponsesPerIteration))
            state.SkipWithError("the device stopped answering");
    const double answers = double(rig.answers - answers0);
    state.SetItemsProcessed(int64_t(answers));
    state.counters["cpu_us_per_answer"] = cpuMicrosecondsPerAnswer(processCpuNs() - cpu0, answers);
    if (serial)
        return;
    state.counters["max_in_flight"] = double(rig.maxInFlight);
    if (rig.maxInFlight > 1)
        state.SkipWithError("the station had more than one request in flight");
}

// On the Modbus TCP client link, at the device's pace.
void TcpClientPoll(benchmark::State &state)
{
    stationPoll(state, false);
}
// The same on the serial link through a pty pair (no line speed; the receive settle time counts).
void SerialPoll(benchmark::State &state)
{
    stationPoll(state, true);
}

// The plain client alone on the device, back to back or at the station's pace.
void plainPoll(benchmark::State &state, bool paced)
{
    TcpDevice device;
    PlainClient client(device.port());
    if (!client.isConnected()) {
        state.SkipWithError("cannot connect to the device");
        return;
    }
    const int perIteration = paced ? PacedResponsesPerIteration : ResponsesPerIteration;
    const qint64 cpu0 = processCpuNs();
    for (auto _ : state)
        if (!(paced ? client.readPaced(perIteration) : client.read(perIteration)))
            state.SkipWithError("the device stopped answering");
    const double answers = double(state.iterations()) * perIteration;
    state.SetItemsProcessed(int64_t(answers));
    state.counters["cpu_us_per_answer"] = cpuMicrosecondsPerAnswer(processCpuNs() - cpu0, answers);
}

// What the device and libmodbus give when nothing waits between reads: 107 registers back to
// back.
void PlainLibmodbusBackToBack(benchmark::State &state)
{
    plainPoll(state, false);
}
// The plain client at the pace the station keeps.
void PlainLibmodbusPaced(benchmark::State &state)
{
    plainPoll(state, true);
}

// The station's TCP poll against the plain client at the same pace on one device, in
// alternating blocks so that both see the same load of a shared machine. Both count answers
// (decoded by the station, returned by libmodbus) and the requests their sockets sent (the
// kernel's byte count over the request's 12 bytes). With the rate capped by the pace, `ratio`
// tells whether the station keeps it as well as the bare loop; the CPU time per answer is what
// the two spend on it.
void StationToPlainRatio(benchmark::State &state)
{
    TcpDevice device;
    PollRig rig(false, device.port());
    PlainClient client(device.port());
    if (!client.isConnected() || rig.socket < 0 || !rig.takeResponses(1)) {
        state.SkipWithError("cannot connect to the device");
        return;
    }
    // A block's first answer comes at once on either side: the loop has waited out its pace
    // while the station ran, and the station's answer waited in its socket meanwhile. The
    // rates run from each block's first answer to its last; the CPU time and the requests on
    // the wire count every answer.
    constexpr int Paced = PacedResponsesPerIteration;
    const quint64 plainSent0 = wireBytes(client.socket()).sent;
    const quint64 stationSent0 = wireBytes(rig.socket).sent;
    const qint64 stationAnswers0 = rig.answers;
    qint64 stationNs = 0, plainNs = 0, stationCpuNs = 0, plainCpuNs = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        qint64 cpu = processCpuNs();
        bool ok = client.readPaced(1);
        clock.start();
        ok = ok && client.readPaced(Paced - 1);
        plainNs += clock.nsecsElapsed();
        plainCpuNs += processCpuNs() - cpu;
        cpu = processCpuNs();
        ok = ok && rig.takeResponses(1);
        clock.start();
        ok = ok && rig.takeResponses(Paced - 1);
        stationNs += clock.nsecsElapsed();
        stationCpuNs += processCpuNs() - cpu;
        if (!ok)
            state.SkipWithError("the device stopped answering");
    }
    const double plainAnswers = double(state.iterations()) * Paced;
    const double stationAnswers = double(rig.answers - stationAnswers0);
    const double timedAnswers = double(state.iterations()) * (Paced - 1);
    const auto perSecond = [](double count, qint64 ns) { return count / (double(ns) / 1e9); };
    state.counters["plain_per_s"] = perSecond(timedAnswers, plainNs);
    state.counters["station_per_s"] = perSecond(timedAnswers, stationNs);
    state.counters["ratio"] = double(plainNs) / double(stationNs);
    // 1 when every answer was asked for once; the station's next request may be out already.
    state.counters["plain_requests_per_answer"] =
        double(wireBytes(client.socket()).sent - plainSent0) / ReadRequestBytes / plainAnswers;
    state.counters["station_requests_per_answer"] =
        double(wireBytes(rig.socket).sent - stationSent0) / ReadRequestBytes / stationAnswers;
    state.counters["plain_cpu_us_per_answer"] = cpuMicrosecondsPerAnswer(plainCpuNs, plainAnswers);
    state.counters["station_cpu_us_per_answer"] =
        cpuMicrosecondsPerAnswer(stationCpuNs, stationAnswers);
    state.counters["max_in_flight"] = double(rig.maxInFlight);
    if (rig.maxInFlight > 1)
        state.SkipWithError("the station had more than one request in flight");
}

} // namespace

BENCHMARK(StationToPlainRatio)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(benchMinTime(6.0))
    ->UseRealTime();
BENCHMARK(PlainLibmodbusPaced)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(benchMinTime(3.0))
    ->UseRealTime();
BENCHMARK(TcpClientPoll)->Unit(benchmark::kMillisecond)->MinTime(benchMinTime(3.0))->UseRealTime();
BENCHMARK(PlainLibmodbusBackToBack)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(benchMinTime(3.0))
    ->UseRealTime();
BENCHMARK(SerialPoll)->Unit(benchmark::kMillisecond)->MinTime(benchMinTime(3.0))->UseRealTime();
