#include "PollState.h"

std::optional<int> PollState::pollRegistersForFirmware(double version)
{
    if (version > 2094)
        return 107;
    if (version > 2079)
        return 106;
    if (version >= 2077)
        return 104;
    if (version > 2026)
        return 102;
    return std::nullopt;
}

void PollState::followFirmware(double version)
{
    if (const std::optional<int> registers = pollRegistersForFirmware(version))
        pollRegisters = *registers;
}
