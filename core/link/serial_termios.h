#pragma once
// The termios side of CSerialPort, for serial_port_posix.cpp and its tests only: nothing
// else should need to see a terminal's settings.

#include <cstdint>

#include <termios.h>

#include "core/link/serial_port.h"

struct SerialState {
    termios line{};
};

// Puts the line-setting codes of Open into a termios record, as Open does before applying it.
// Throws CSerialException(EINVAL) for a baud rate or word size that termios cannot carry, and
// then leaves the record as it was.
void applyLineSettings(termios& line, std::uint32_t baud, Parity parity, std::uint8_t dataBits,
                       StopBits stopBits, FlowControl flow);
