#include "BenchSupport.h"
#include "DevicePackets.h"
#include "FakeLinkDecoder.h"

#include <benchmark/benchmark.h>

using namespace DevicePackets;

namespace
{

// The charts come first so that they outlive the decoder drawing on them.
struct NoOpDecoderCharts {
    NoOpChart strip1, strip3;
};

struct Bench : NoOpDecoderCharts, FakeLinkDecoder {
    Bench() : FakeLinkDecoder(strip1, strip3)
    {
        links.onSend = [this] { links.clientSends.clear(); };
        QObject::connect(&decoder, &Decoder::packetDecoded, [](const DecodedPacket &packet) {
            benchmark::DoNotOptimize(packet.samples.data());
        });
    }
};

// Samples that move like a quiet site's: small, different from one sample to the next.
Sample quietSample(int s)
{
    return {qint16(s % 7 - 3), qint16(5 - s % 11), qint16(s % 13 - 6), qint16(s % 17),
            qint16(s % 19 - 9)};
}

Sample busySample(int s)
{
    return {qint16(1000 + 37 * s), qint16(-500 - 29 * s), qint16(250 + 41 * s),
            qint16(1234 + 3 * s), qint16(-2000 + 7 * s)};
}

// One StreamPacket with all its per-sample work, on the server link; two packets alternate so
// that the header words and samples change every time.
void streamPacketDecoding(benchmark::State &state)
{
    Bench b;
    const QByteArray packets[2] = {streamPacket({{27, 3}, {49, 257}}, quietSample),
                                   streamPacket({{27, 4}, {49, 1}}, busySample)};
    int i = 0;
    for (auto _ : state)
        b.decoder.serverBytesArrived(packets[i++ & 1]);
    state.SetItemsProcessed(state.iterations() * Decoder::SamplesPerPacket);
}
BENCHMARK(streamPacketDecoding)->Unit(benchmark::kMicrosecond);

// One Modbus response of 107 registers with its tail and the next read; `changing` makes
// every register differ from the previous response.
void modbusResponseDecoding(benchmark::State &state)
{
    Bench b;
    b.poll.pollRegisters = 107;
    QMap<int, quint16> first, second;
    for (int i = 0; i < 107; ++i) {
        first[i] = quint16(1000 + 13 * i);
        second[i] = quint16(state.range(0) ? 2000 + 17 * i : 1000 + 13 * i);
    }
    first[99] = second[99] = 2095; // firmware that keeps 107 registers
    const QByteArray responses[2] = {tcpResponse(107, first), tcpResponse(107, second)};
    int i = 0;
    for (auto _ : state)
        b.decoder.clientBytesArrived(responses[i++ & 1]);
}
BENCHMARK(modbusResponseDecoding)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("changing")
    ->Unit(benchmark::kMicrosecond);

} // namespace
