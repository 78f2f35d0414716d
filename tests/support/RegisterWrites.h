#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// Register and value (as the unsigned 16-bit word on the wire) of recorded write-single-
// register frames; a frame of another shape gives (-1, -1) so that a comparison fails.
using RegisterWrite = QPair<int, int>;

namespace RegisterWrites
{

inline int word(const QByteArray &frame, int at)
{
    return (quint8(frame[at]) << 8) | quint8(frame[at + 1]);
}

// RTU: address, 06, register, value, CRC.
inline QList<RegisterWrite> rtu(const QList<QByteArray> &frames)
{
    QList<RegisterWrite> writes;
    for (const QByteArray &f : frames)
        writes << (f.size() == 8 && f[1] == 6 ? RegisterWrite{word(f, 2), word(f, 4)}
                                              : RegisterWrite{-1, -1});
    return writes;
}

// Modbus TCP: MBAP header, unit, 06, register, value.
inline QList<RegisterWrite> tcp(const QList<QByteArray> &frames)
{
    QList<RegisterWrite> writes;
    for (const QByteArray &f : frames)
        writes << (f.size() == 12 && f[7] == 6 ? RegisterWrite{word(f, 8), word(f, 10)}
                                               : RegisterWrite{-1, -1});
    return writes;
}

inline QList<int> registers(const QList<RegisterWrite> &writes)
{
    QList<int> regs;
    for (const RegisterWrite &w : writes)
        regs << w.first;
    return regs;
}

} // namespace RegisterWrites
