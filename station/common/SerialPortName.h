#pragma once

#include <QString>

class ProgramFolder;

// The serial port a settings text names. A COM number n opens the link `COMn` in the program
// folder when there is one (a symlink such as COM3 -> /dev/ttyUSB0, as Wine keeps them),
// otherwise /dev/ttyS(n-1); any other text (ttyUSB0, /dev/ttyUSB0, a pty path) is the port name.
QString resolveSerialPort(const QString &text, const ProgramFolder &folder);
