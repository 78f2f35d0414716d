#include "OptionWords.h"

#include "common/Form.h"

#include <array>
#include <utility>

namespace
{

constexpr int SignBit = 15;
constexpr int LowPassBit = 7;

// The option boxes below the sign bit, with their bit numbers, in decoding order.
template <typename F> auto optionBits(F &form)
{
    using Box = decltype(&form.chkGBT);
    return std::array<std::pair<Box, int>, 11>{{{&form.chkGBT, 0},
                                                {&form.chkgas, 1},
                                                {&form.chkVBI, 2},
                                                {&form.chkSCE, 3},
                                                {&form.chkNTP, 4},
                                                {&form.chkeew, 5},
                                                {&form.chkSCE2, 6},
                                                {&form.chksrv, 7},
                                                {&form.chkRVD, 8},
                                                {&form.chkMMI, 9},
                                                {&form.chkKMA, 10}}};
}

bool bitSet(qint64 word, int bit)
{
    return ((quint64(word) >> bit) & 1u) != 0;
}

} // namespace

namespace OptionWords
{

qint64 composeOptionWord(const Form &form)
{
    qint64 word = 0;
    for (const auto &[box, bit] : optionBits(form))
        word += box->isChecked() ? qint64(1) << bit : 0;
    return form.chkMTC.isChecked() ? word - 32768 : word;
}

void decodeOptionWord(Form &form, qint64 word)
{
    form.chkMTC.setChecked(bitSet(word, SignBit));
    for (const auto &[box, bit] : optionBits(form))
        box->setChecked(bitSet(word, bit));
}

qint64 composeTriggerWord(const Form &form)
{
    qint64 word = 0;
    for (int k = 0; k < int(form.chktrig.size()); ++k)
        word += form.chktrig[k].isChecked() ? qint64(1) << k : 0;
    return form.optLPF[1].isChecked() ? word + (1 << LowPassBit) : word;
}

} // namespace OptionWords
