#pragma once
// The modem-control lines of an open serial port. RTS doubles as the timer's reset line, and
// CSerialPort drives it only through this seam, so that a test can record the reset pulse: a
// pseudo-terminal has no RTS line to look at.

class ModemControl {
public:
    virtual ~ModemControl() = default;
    // Makes RTS active (true) or inactive (false). Throws CSerialException when the line
    // refuses for any reason other than having no modem-control lines at all.
    virtual void setRts(bool active) = 0;
};
