#include "PtyPair.h"
#include "StationFixture.h"
#include "link/DemoDevice.h"
#include "link/ModbusFrames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <array>
#include <benchmark/benchmark.h>
#include <modbus.h>
#include <optional>

namespace
{

constexpr int ResponsesPerIteration = 100;
constexpr int GiveUpMs = 30000;
constexpr int PlainReadRegisters = 107; // the longest poll

// A station polling the simulator; the one-second timers are stopped so that only the
// back-to-back requests of the receive paths keep the poll going.
struct PollRig {
    explicit PollRig(bool serial)
    {
        QStringList args{"--tcp", "0", "--scenario", "quiet"};
        if (serial) {
            pty.emplace();
            args << QStringLiteral("--rtu") << pty->secondEnd() << QStringLiteral("--id")
                 << QStringLiteral("1");
        }
        QString error;
        if (!sim.start(QStringLiteral(DEVSIM_PROGRAM), args, &error))
            qFatal("simulator: %s", qPrintable(error));
        if (serial) {
            f.station->linkManager().selectLinkKind(LinkKind::Rtu);
            form.txtCom.setText(pty->firstEnd());
            form.mbus_id.setText(QStringLiteral("1"));
        } else {
            f.useClientLinkTo(sim.port());
        }
        f.station->cmdComset_Click();
        f.stopOneSecondTimers();
        if (!serial) {
            waitFor([this] { return f.station->links().isClientConnected(); });
            f.station->poller().tmr_Timer();
        }
    }

    qint64 responses() const
    {
        return form.optCom.isChecked() ? form.serialRxCount : form.tcpRxCount;
    }

    void waitFor(const std::function<bool()> &done)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done() && elapsed.elapsed() < GiveUpMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }

    std::optional<PtyPair> pty;
    DemoDevice sim;
    StationFixture f{StationFixture::LinkKind::Real};
    Form &form = f.station->form();
};

void pollBackToBack(benchmark::State &state, bool serial)
{
    PollRig rig(serial);
    for (auto _ : state) {
        const qint64 target = rig.responses() + ResponsesPerIteration;
        rig.waitFor([&] { return rig.responses() >= target; });
        if (rig.responses() < target)
            state.SkipWithError("the simulator stopped answering");
    }
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

// The same simulator read by a plain libmodbus client, 107 registers back to back: the pace the
// station's TCP poll is measured against in the same run.
void PlainLibmodbusBackToBack(benchmark::State &state)
{
    DemoDevice sim;
    QString error;
    if (!sim.start(QStringLiteral(DEVSIM_PROGRAM), {"--tcp", "0", "--scenario", "quiet"}, &error))
        qFatal("simulator: %s", qPrintable(error));
    modbus_t *client = modbus_new_tcp("127.0.0.1", sim.port());
    modbus_set_slave(client, 1);
    if (modbus_connect(client) != 0) {
        state.SkipWithError("cannot connect to the simulator");
        modbus_free(client);
        return;
    }
    std::array<uint16_t, PlainReadRegisters> registers{};
    for (auto _ : state) {
        for (int i = 0; i < ResponsesPerIteration; ++i) {
            if (modbus_read_registers(client, ModbusFrames::PollStartRegister, PlainReadRegisters,
                                      registers.data()) != PlainReadRegisters) {
                state.SkipWithError("the simulator stopped answering");
                break;
            }
        }
    }
    modbus_close(client);
    modbus_free(client);
    state.SetItemsProcessed(state.iterations() * ResponsesPerIteration);
}

} // namespace

BENCHMARK(PlainLibmodbusBackToBack)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(TcpClientBackToBack)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(SerialBackToBack)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
