#pragma once

#include <QStringList>

// Who works at the station: the operator ("General"), the engineer, who sees and sets more of
// the device, or a class ("Educate"), which watches the device and changes nothing.
namespace UserMode
{

enum : int { General = 0, Engineer = 1, Educate = 2 };

inline QStringList names()
{
    return {QStringLiteral("General"), QStringLiteral("Engineer"), QStringLiteral("Educate")};
}

// A mode outside the three reads as "General".
inline QString name(int mode)
{
    const QStringList all = names();
    return mode >= 0 && mode < all.size() ? all[mode] : all[General];
}

} // namespace UserMode
