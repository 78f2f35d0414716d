#pragma once

#include <QColor>

// The colours the station's rules set; the window's own colour is an invalid QColor().
namespace Colours
{

inline const QColor Red{255, 0, 0};   // a silent link, an event, a digital output that is on
inline const QColor Green{0, 255, 0}; // a digital input that is on, the idle intensity text
// The window's background while the link is silent.
inline const QColor SilentLink = Red;
inline const QColor IdleGrey{192, 192, 192};
// A lamp that is off: the neutral grey of an active window border.
inline const QColor LampOff{180, 180, 180};

} // namespace Colours
