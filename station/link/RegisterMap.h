#pragma once

#include <QString>
#include <array>
#include <vector>

// Where the device's words land in the live fields and how their text is written. The same
// field means the same whichever packet filled it: a Modbus response carries register 99 + i
// at offset i, a stream packet's header carries the words in another order.
namespace RegisterMap
{

// How a word's value becomes the text of its field.
enum class TextForm : quint8 {
    Plain,               // the decimal value
    Tenths,              // value / 10
    Hundredths,          // value / 100
    Thousandths,         // value / 1000
    Gal,                 // value / 16.7184, "0.0"
    Acceleration,        // value * 0.0598, "0.00"
    NegatedAcceleration, // -value * 0.0598, "0.00": the serial link's sign of the same word
    SampleAcceleration,  // value * 0.0598 as a plain decimal: a stream packet's samples
};
constexpr int TextForms = 8;

struct Rule {
    int field = -1; // -1: the word is not shown
    TextForm readout = TextForm::Plain;
    bool isUnsigned = false;
};

constexpr int ModbusOffsets = 107; // the longest poll reads registers 99..205
constexpr int StreamHeaderWords = 77;

// Offsets 0..106 of a Modbus response; `serial` gives the serial link's opposite sign of the
// acceleration offsets 1..7 and 29..34.
Rule modbusRule(int offset, bool serial);
// Words 0..76 of a stream packet's header.
Rule streamRule(int word);
// The stream packets keep the field up to date (from a header word or the samples); the
// others only a register read fills.
bool streamCarries(int field);

// A 16-bit word from its two bytes, signed two's complement unless `isUnsigned`.
inline int word(quint8 high, quint8 low, bool isUnsigned)
{
    const int raw = high * 256 + low;
    return isUnsigned || raw < 32768 ? raw : raw - 65536;
}

QString text(TextForm readout, int value);
// The number the text of a word stands for: the same number the field's leading number gives.
// Worked out from the word where the text is exact; a rounded form stands for what it shows.
double value(TextForm readout, int word);

// Remembers the texts and numbers of recent values per form, so that a word seen before is not
// formatted again: a stream packet writes 500 sample texts, mostly of a few small values, and
// every poll response 107 fields that seldom change. Bounded: one entry per form and slot.
class TextCache
{
public:
    const QString &text(TextForm readout, int value) { return entry(readout, value).text; }
    double number(TextForm readout, int value) { return entry(readout, value).number; }

private:
    static constexpr int Slots = 4096; // a power of two
    struct Entry {
        int value = 0;
        QString text;
        double number = 0;
    };
    const Entry &entry(TextForm readout, int value);

    std::array<std::vector<Entry>, TextForms> forms_;
};

} // namespace RegisterMap
