#include "OptionWords.h"

#include "DevicePageControls.h"

#include <array>
#include <utility>

namespace
{

constexpr int SignBit = 15;
constexpr int LowPassBit = 7;

// The option boxes below the sign bit, with their bit numbers, in decoding order.
template <typename Boxes> auto optionBits(Boxes &boxes)
{
    using Box = decltype(&boxes.gbtScale);
    return std::array<std::pair<Box, int>, 11>{{{&boxes.gbtScale, 0},
                                                {&boxes.gasMode, 1},
                                                {&boxes.vectorIntensity, 2},
                                                {&boxes.server0, 3},
                                                {&boxes.ntp, 4},
                                                {&boxes.dhcp, 5},
                                                {&boxes.server1, 6},
                                                {&boxes.serviceDisabled, 7},
                                                {&boxes.displayLink, 8},
                                                {&boxes.mmiScale, 9},
                                                {&boxes.kmaScale, 10}}};
}

bool bitSet(qint64 word, int bit)
{
    return ((quint64(word) >> bit) & 1u) != 0;
}

} // namespace

namespace OptionWords
{

qint64 composeOptionWord(const OptionBoxes &boxes)
{
    qint64 word = 0;
    for (const auto &[box, bit] : optionBits(boxes))
        word += box->isChecked() ? qint64(1) << bit : 0;
    return boxes.modbusTcpClient.isChecked() ? word - 32768 : word;
}

void decodeOptionWord(OptionBoxes &boxes, qint64 word)
{
    boxes.modbusTcpClient.setChecked(bitSet(word, SignBit));
    for (const auto &[box, bit] : optionBits(boxes))
        box->setChecked(bitSet(word, bit));
}

qint64 composeTriggerWord(const DevicePageControls &page)
{
    qint64 word = 0;
    for (int k = 0; k < int(page.triggerBoxes.size()); ++k)
        word += page.triggerBoxes[k].isChecked() ? qint64(1) << k : 0;
    return page.lowPassFilter[1].isChecked() ? word + (1 << LowPassBit) : word;
}

} // namespace OptionWords
