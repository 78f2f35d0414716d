#pragma once

#include <QtGlobal>

struct DevicePageControls;
struct OptionBoxes;

// The device's option word (register 117) and trigger word (register 162) as the general
// page's check boxes show them.
namespace OptionWords
{

// Bit 15 ("Modbus TCP Client") is the sign bit, so the word is a signed 16-bit number.
qint64 composeOptionWord(const OptionBoxes &boxes);
// Ticks each option box exactly when its bit is set, from bit 0 upwards; the intensity-scale
// boxes exclude one another through their check signals, so the highest of them stays.
void decodeOptionWord(OptionBoxes &boxes, qint64 word);

// The trigger boxes and the 20 Hz filter; the live word is shown in them by the trigger logic.
qint64 composeTriggerWord(const DevicePageControls &page);

// Two bytes in one register: `high` in the high byte.
template <typename T> constexpr T packBytes(T high, T low)
{
    return high * 256 + low;
}

} // namespace OptionWords
