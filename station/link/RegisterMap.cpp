#include "RegisterMap.h"

#include "common/NumberText.h"

#include <array>

namespace RegisterMap
{

namespace
{

constexpr double GalPerCount = 0.0598;
constexpr double CountsPerGal = 16.7184;
// The sample scale as an exact fraction, so that a sample's value is worked out in integers.
constexpr qint64 TenThousandthGalPerCount = 598;

using ModbusTable = std::array<Rule, ModbusOffsets>;
using StreamTable = std::array<Rule, StreamHeaderWords>;

void setRange(ModbusTable &t, int first, int last, TextForm readout)
{
    for (int i = first; i <= last; ++i)
        t[i] = Rule{i, readout, false};
}

ModbusTable makeModbusTable(bool serial)
{
    ModbusTable t;
    setRange(t, 0, 100, TextForm::Plain);
    const TextForm acc = serial ? TextForm::NegatedAcceleration : TextForm::Acceleration;
    setRange(t, 1, 7, acc);
    setRange(t, 29, 34, acc);
    t[8].readout = TextForm::Tenths;
    t[25].readout = TextForm::Hundredths;
    for (int i : {26, 37, 38, 59, 60, 62, 64, 97})
        t[i].readout = TextForm::Thousandths;
    for (int i : {21, 40, 61})
        t[i].readout = TextForm::Gal;
    t[96].readout = TextForm::Tenths;
    for (int i = 76; i <= 79; ++i)
        t[i].isUnsigned = true;
    t[101] = Rule{230, TextForm::Plain, false};
    t[102] = Rule{235, TextForm::Plain, false};
    t[103] = Rule{237, TextForm::Plain, false};
    t[104] = Rule{101, TextForm::Plain, true};
    t[105] = Rule{102, TextForm::Plain, true};
    t[106] = Rule{248, TextForm::Plain, false};
    return t;
}

StreamTable makeStreamTable()
{
    StreamTable t;
    const auto put = [&t](int word, int field, TextForm readout = TextForm::Plain) {
        t[word] = Rule{field, readout, false};
    };
    put(1, 11);
    for (int k = 0; k < 6; ++k) {
        put(2 + k, 47 + k); // device date and time
        put(8 + k, 41 + k); // event date and time
    }
    put(14, 100);
    put(15, 97, TextForm::Thousandths);
    put(16, 25, TextForm::Hundredths);
    put(17, 26, TextForm::Thousandths);
    put(18, 40, TextForm::Gal);
    put(19, 35);
    put(20, 62, TextForm::Thousandths);
    put(21, 61, TextForm::Gal);
    put(22, 60, TextForm::Thousandths);
    put(23, 39);
    put(24, 64, TextForm::Thousandths);
    put(25, 21, TextForm::Gal);
    put(26, 9);
    put(27, 10);
    put(28, 96, TextForm::Gal);
    put(29, 27);
    put(30, 38, TextForm::Thousandths);
    put(31, 63);
    put(32, 18);
    put(33, 95);
    put(34, 99);
    for (int k = 0; k < 4; ++k) {
        put(35 + k, 80 + k);
        t[39 + k] = Rule{76 + k, TextForm::Plain, true};
        put(43 + k, 71 + k);
    }
    put(47, 92);
    put(48, 0);
    put(49, 19);
    put(50, 98);
    put(51, 37, TextForm::Thousandths);
    put(52, 228, TextForm::Thousandths);
    put(53, 229, TextForm::Thousandths);
    put(54, 8, TextForm::Tenths);
    for (int k = 0; k < 6; ++k)
        put(55 + k, 29 + k, TextForm::Acceleration);
    put(75, 235);
    put(76, 237);
    return t;
}

const ModbusTable TcpTable = makeModbusTable(false);
const ModbusTable SerialTable = makeModbusTable(true);
const StreamTable HeaderTable = makeStreamTable();

} // namespace

Rule modbusRule(int offset, bool serial)
{
    if (offset < 0 || offset >= ModbusOffsets)
        return {};
    return serial ? SerialTable[offset] : TcpTable[offset];
}

Rule streamRule(int word)
{
    return word >= 0 && word < StreamHeaderWords ? HeaderTable[word] : Rule{};
}

bool streamCarries(int field)
{
    static const std::vector<bool> carried = [] {
        std::vector<bool> c(256, false);
        for (const Rule &rule : HeaderTable)
            if (rule.field >= 0)
                c[size_t(rule.field)] = true;
        for (int sampled : {1, 2, 3, 37, 59}) // a, b, c, Pd, displacement
            c[size_t(sampled)] = true;
        return c;
    }();
    return field >= 0 && field < int(carried.size()) && carried[size_t(field)];
}

QString text(TextForm readout, int value)
{
    switch (readout) {
    case TextForm::Plain:
        return QString::number(value);
    case TextForm::Tenths:
        return NumberText::doubleText(value / 10.0);
    case TextForm::Hundredths:
        return NumberText::doubleText(value / 100.0);
    case TextForm::Thousandths:
        return NumberText::doubleText(value / 1000.0);
    case TextForm::Gal:
        return NumberText::fixed(value / CountsPerGal, 1);
    case TextForm::Acceleration:
        return NumberText::fixed(value * GalPerCount, 2);
    case TextForm::NegatedAcceleration:
        return NumberText::fixed(-value * GalPerCount, 2);
    case TextForm::SampleAcceleration:
        return NumberText::doubleText(value * GalPerCount);
    }
    return QString::number(value);
}

double value(TextForm readout, int word)
{
    const qint64 w = word;
    switch (readout) {
    case TextForm::Plain:
        return double(w);
    case TextForm::Tenths:
        return double(w) / 10.0;
    case TextForm::Hundredths:
        return double(w) / 100.0;
    case TextForm::Thousandths:
        return double(w) / 1000.0;
    case TextForm::Gal:
    case TextForm::Acceleration:
    case TextForm::NegatedAcceleration:
        // A rounded form stands for the number it shows.
        return NumberText::leadingNumber(text(readout, word));
    case TextForm::SampleAcceleration:
        return double(w * TenThousandthGalPerCount) / 10000.0;
    }
    return double(w);
}

const TextCache::Entry &TextCache::entry(TextForm readout, int value)
{
    std::vector<Entry> &entries = forms_[int(readout)];
    if (entries.empty())
        entries.resize(Slots);
    Entry &entry = entries[value & (Slots - 1)];
    if (entry.text.isNull() || entry.value != value)
        entry = Entry{value, RegisterMap::text(readout, value), RegisterMap::value(readout, value)};
    return entry;
}

} // namespace RegisterMap
