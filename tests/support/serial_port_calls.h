#pragma once
// Calls on CSerialPort that the port tests of both platforms make.

#include <cstdint>
#include <functional>

#include "core/link/serial_port.h"

// Runs op and gives the error code of the CSerialException it throws (0 when none).
inline std::uint32_t errorOf(const std::function<void()>& op) {
    try {
        op();
    } catch (const CSerialException& e) {
        return e.errorCode;
    }
    return 0;
}

// Opens the port as the timer's line is opened: 19200 baud, 8N2, no flow control.
inline void openLink(CSerialPort& port, int number) {
    port.Open(number, 19200, NoParity, 8, TwoStopBits, NoFlowControl);
}
