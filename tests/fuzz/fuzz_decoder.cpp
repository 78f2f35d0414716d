#include "FakeLinkDecoder.h"
#include "Fakes.h"
#include "FuzzInput.h"

// The device's bytes through the framers and decoders of all three links. The first byte picks
// the link and mode, the second the poll length; the rest arrives in reads cut where a byte
// 0xFE stands, as a socket may deliver it.
namespace
{

enum Path { ClientModbus, ClientRecord, Server, Serial, Paths };

void deliver(FakeLinkDecoder &rig, Path path, const QByteArray &read)
{
    switch (path) {
    case ClientModbus:
    case ClientRecord:
        rig.decoder.clientBytesArrived(read);
        break;
    case Server:
        rig.decoder.serverBytesArrived(read);
        break;
    case Serial:
        rig.decoder.onSerialBytes(read);
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    FuzzInput::ensureApplication();
    RecordingChart strip1{4};
    RecordingChart strip3{2};
    strip1.recordSamples = false;
    strip3.recordSamples = false;
    FakeLinkDecoder rig(strip1, strip3);
    const Path path = Path(data[0] % Paths);
    static const int PollLengths[] = {101, 102, 104, 106, 107};
    rig.poll.pollRegisters = PollLengths[data[1] % 5];
    rig.poll.recordMode = path == ClientRecord;
    const QByteArray rest = FuzzInput::bytes(data + 2, size - 2);
    for (const QByteArray &read : rest.split('\xFE'))
        deliver(rig, path, read);
    return 0;
}
