#include "PtyPair.h"
#include "StationFixture.h"
#include "link/DemoDevice.h"
#include "link/ModbusFrames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <benchmark/benchmark.h>
#include <memory>
#include <modbus.h>
#include <optional>

namespace
{

constexpr int ResponsesPerIteration = 100;
constexpr int GiveUpMs = 30000;
constexpr int PlainReadRegisters = 107; // the longest poll

void startSimulator(DemoDevice &sim, const QStringList &extra = {})
{
    QString error;
    if (!sim.start(QStringLiteral(DEVSIM_PROGRAM),
                   QStringList{"--tcp", "0", "--scenario", "quiet"} + extra, &error))
        qFatal("simulator: %s", qPrintable(error));
}

// Runs the event loop as the station's own does, asleep until something happens, until
// `done` or the give-up time; false when it gave up.
bool runEventLoopUntil(const std::function<bool()> &done)
{
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.start(GiveUpMs);
    while (!done() && giveUp.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// A station polling a simulator; the one-second timers are stopped so that only the
// back-to-back requests of the receive paths keep the poll going.
struct PollRig {
    // On the serial link the rig starts a simulator of its own on a pty pair.
    PollRig(bool serial, quint16 tcpPort)
    {
        // The fake charts keep the values they get but not a text line for each.
        for (RecordingChart *chart : {&f.strip1, &f.strip2, &f.strip3})
            chart->recordSamples = false;
        if (serial) {
            pty.emplace();
            startSimulator(ownSim, {QStringLiteral("--rtu"), pty->secondEnd(),
                                    QStringLiteral("--id"), QStringLiteral("1")});
            f.station->linkManager().selectLinkKind(LinkKind::Rtu);
            form.txtCom.setText(pty->firstEnd());
            form.mbus_id.setText(QStringLiteral("1"));
        } else {
            f.useClientLinkTo(tcpPort);
        }
        f.station->openLink();
        f.stopOneSecondTimers();
        if (!serial) {
            runEventLoopUntil([this] { return f.station->clientLink().isOpen(); });
            f.station->poller().onPollTick();
        }
    }

    qint64 responses() const
    {
        const PollState &poll = f.station->linkManager().pollState();
        return form.optCom.isChecked() ? poll.serialAnswers : poll.clientAnswers;
    }

    // Lets the station take `count` more responses; false when the simulator fell silent.
    bool takeResponses(int count)
    {
        const qint64 target = responses() + count;
        const bool done = runEventLoopUntil([&] { return responses() >= target; });
        for (RecordingChart *chart : {&f.strip1, &f.strip2, &f.strip3})
            for (auto &trace : chart->samples)
                trace.clear();
        return done;
    }

    std::optional<PtyPair> pty;
    DemoDevice ownSim;
    StationFixture f{StationFixture::LinkKind::Real};
    Form &form = f.station->form();
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
// that both see the same load of a shared machine. `ratio` is the station's responses per
// second over the plain client's: the station's poll cost in one figure.
void StationToPlainRatio(benchmark::State &state)
{
    DemoDevice sim;
    startSimulator(sim);
    PollRig rig(false, sim.port());
    PlainClient client(sim.port());
    if (!client.isConnected()) {
        state.SkipWithError("cannot connect to the simulator");
        return;
    }
    qint64 stationNs = 0, plainNs = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        const bool plainOk = client.read(ResponsesPerIteration);
        plainNs += clock.nsecsElapsed();
        clock.start();
        const bool stationOk = rig.takeResponses(ResponsesPerIteration);
        stationNs += clock.nsecsElapsed();
        if (!plainOk || !stationOk)
            state.SkipWithError("the simulator stopped answering");
    }
    const double responses = double(state.iterations()) * ResponsesPerIteration;
    state.counters["plain_per_s"] = responses / (double(plainNs) / 1e9);
    state.counters["station_per_s"] = responses / (double(stationNs) / 1e9);
    state.counters["ratio"] = double(plainNs) / double(stationNs);
}

} // namespace

BENCHMARK(StationToPlainRatio)->Unit(benchmark::kMillisecond)->MinTime(4.0)->UseRealTime();
BENCHMARK(PlainLibmodbusBackToBack)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(TcpClientBackToBack)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(SerialBackToBack)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
