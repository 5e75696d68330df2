#pragma once
// The DCB side of CSerialPort on Windows, for serial_port_win32.cpp and its tests only: nothing
// else should need to see a port's line settings.

#include <windows.h>

struct SerialState {
    DCB line{};
};
