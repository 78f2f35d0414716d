#include "BenchSupport.h"
#include "PtyPair.h"
#include "common/DecodedPacket.h"
#include "common/Waiter.h"
#include "link/Decoder.h"
#include "link/DemoDevice.h"
#include "link/ModbusFrames.h"
#include "shell/Station.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <benchmark/benchmark.h>
#include <cstring>
#include <ctime>
#include <linux/tcp.h> // tcp_info with the byte counts
#include <memory>
#include <modbus.h>
#include <optional>
#include <sys/socket.h>

namespace
{

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

// CPU time of the calling thread: the station and the plain client both run on this one.
qint64 threadCpuNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A station polling a simulator as the headless program runs it; the one-second timers are
// stopped so that only the back-to-back requests of the receive paths keep the poll going. Answers
// are counted when decoded, as the plain client counts the reads that returned.
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
            station.linkManager().selectLinkKind(LinkKind::Rtu);
            form.txtCom.setText(pty->firstEnd());
            form.mbus_id.setText(QStringLiteral("1"));
        } else {
            form.txtIP.setText(QStringLiteral("127.0.0.1"));
            form.txtPort.setText(QString::number(tcpPort));
        }
        station.openLink();
        LinkManager &links = station.linkManager();
        for (QTimer *timer : {&links.poller().timer(), &links.rateTimer(), &links.serverWatchdog()})
            timer->stop();
        if (!serial) {
            runEventLoopUntil([this] { return station.clientLink().isOpen(); }, GiveUpMs);
            socket = connectionTo(tcpPort);
            // openLink polls once; only when that found no connection yet does the rig start
            // the chain. A second tick would run two request chains and count double.
            if (!runEventLoopUntil([this] { return answers > 0; }, 1000))
                station.poller().onPollTick();
        }
    }

    // Lets the station take `count` more responses; false when the simulator fell silent.
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
    Form &form = station.form();
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
    bool read(int times)
    {
        for (int i = 0; i < times; ++i)
            if (modbus_read_registers(ctx_, ModbusFrames::PollStartRegister, PlainReadRegisters,
                                      registers_.data()) != PlainReadRegisters)
                return false;
        return true;
    }

private:
    modbus_t *ctx_;
    bool connected_ = false;
    std::array<uint16_t, PlainReadRegisters> registers_{};
};

void pollBackToBack(benchmark::State &state, bool serial)
{
    DemoDevice sim;
    if (!serial)
        startSimulator(sim);
    PollRig rig(serial, sim.port());
    for (auto _ : state)
        if (!rig.takeResponses(ResponsesPerIteration))
            state.SkipWithError("the simulator stopped answering");
    state.SetItemsProcessed(state.iterations() * ResponsesPerIteration);
    if (!serial)
        state.counters["max_in_flight"] = double(rig.maxInFlight);
}

// Responses per second (items_per_second) on the Modbus TCP client link.
void TcpClientBackToBack(benchmark::State &state)
{
    pollBackToBack(state, false);
}
// The same on the serial link through a pty pair (no line speed; the receive settle time counts).
void SerialBackToBack(benchmark::State &state)
{
    pollBackToBack(state, true);
}

// The same simulator read by a plain libmodbus client, 107 registers back to back.
void PlainLibmodbusBackToBack(benchmark::State &state)
{
    DemoDevice sim;
    startSimulator(sim);
    PlainClient client(sim.port());
    if (!client.isConnected()) {
        state.SkipWithError("cannot connect to the simulator");
        return;
    }
    for (auto _ : state)
        if (!client.read(ResponsesPerIteration))
            state.SkipWithError("the simulator stopped answering");
    state.SetItemsProcessed(state.iterations() * ResponsesPerIteration);
}

// The station's TCP poll against the plain client on one simulator, in alternating blocks so
// that both see the same load of a shared machine. Both count answers (decoded by the
// station, returned by libmodbus) and the requests their sockets sent (the kernel's byte
// count over the request's 12 bytes). `ratio` is the station's answers per second over the
// plain client's; the CPU time per answer stays comparable when the poll's pace is capped.
void StationToPlainRatio(benchmark::State &state)
{
    DemoDevice sim;
    startSimulator(sim);
    PollRig rig(false, sim.port());
    PlainClient client(sim.port());
    if (!client.isConnected() || rig.socket < 0) {
        state.SkipWithError("cannot connect to the simulator");
        return;
    }
    const WireBytes plainWire0 = wireBytes(client.socket());
    const WireBytes stationWire0 = wireBytes(rig.socket);
    const qint64 stationAnswers0 = rig.answers;
    qint64 stationNs = 0, plainNs = 0, stationCpuNs = 0, plainCpuNs = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        qint64 cpu = threadCpuNs();
        const bool plainOk = client.read(ResponsesPerIteration);
        plainNs += clock.nsecsElapsed();
        plainCpuNs += threadCpuNs() - cpu;
        clock.start();
        cpu = threadCpuNs();
        const bool stationOk = rig.takeResponses(ResponsesPerIteration);
        stationNs += clock.nsecsElapsed();
        stationCpuNs += threadCpuNs() - cpu;
        if (!plainOk || !stationOk)
            state.SkipWithError("the simulator stopped answering");
    }
    const double plainAnswers = double(state.iterations()) * ResponsesPerIteration;
    const double stationAnswers = double(rig.answers - stationAnswers0);
    const double plainRequests =
        double(wireBytes(client.socket()).sent - plainWire0.sent) / ReadRequestBytes;
    const double stationRequests =
        double(wireBytes(rig.socket).sent - stationWire0.sent) / ReadRequestBytes;
    state.counters["plain_per_s"] = plainAnswers / (double(plainNs) / 1e9);
    state.counters["station_per_s"] = stationAnswers / (double(stationNs) / 1e9);
    state.counters["ratio"] =
        (stationAnswers / double(stationNs)) / (plainAnswers / double(plainNs));
    state.counters["plain_wire_per_s"] = plainRequests / (double(plainNs) / 1e9);
    state.counters["station_wire_per_s"] = stationRequests / (double(stationNs) / 1e9);
    state.counters["plain_cpu_us_per_answer"] = double(plainCpuNs) / 1e3 / plainAnswers;
    state.counters["station_cpu_us_per_answer"] = double(stationCpuNs) / 1e3 / stationAnswers;
    state.counters["max_in_flight"] = double(rig.maxInFlight);
    if (rig.maxInFlight > 1)
        state.SkipWithError("the station had more than one request in flight");
}

} // namespace

BENCHMARK(StationToPlainRatio)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(benchMinTime(4.0))
    ->UseRealTime();
BENCHMARK(PlainLibmodbusBackToBack)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(benchMinTime(3.0))
    ->UseRealTime();
BENCHMARK(TcpClientBackToBack)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(benchMinTime(3.0))
    ->UseRealTime();
BENCHMARK(SerialBackToBack)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(benchMinTime(3.0))
    ->UseRealTime();
