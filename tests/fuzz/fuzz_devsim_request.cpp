#include "ModbusPdu.h"

#include <cstddef>
#include <cstdint>

// Any request the simulator can receive, from the function code onwards, answered (reads,
// writes, commits) and described for its log. The input may hold several requests, cut where
// a byte 0xFE stands, so that writes staged by one meet the commit of the next.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    devsim::Device device(devsim::DeviceConfig{}, devsim::Scenario{}, 0);
    const uint8_t *end = data + size;
    for (const uint8_t *begin = data; begin <= end;) {
        const uint8_t *cut = begin;
        while (cut < end && *cut != 0xFE)
            ++cut;
        devsim::answerPdu(device, begin, size_t(cut - begin));
        devsim::describePdu(begin, size_t(cut - begin));
        begin = cut + 1;
    }
    return 0;
}
