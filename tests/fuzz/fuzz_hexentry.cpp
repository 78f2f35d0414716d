#include "DataText.h"
#include "FuzzInput.h"

// Any text typed into linkbench's send boxes, read as hexadecimal bytes; what is sent is shown
// again in hexadecimal.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const HexEntry entry = parseHexEntry(QString::fromUtf8(FuzzInput::bytes(data, size)));
    if (entry.valid)
        prependToLog(QString(), hexDisplay(entry.bytes));
    roundedNumber(QString::fromUtf8(FuzzInput::bytes(data, size)));
    return 0;
}
