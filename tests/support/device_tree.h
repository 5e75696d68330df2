#pragma once
// A made-up device tree (dev/ and sys/ under a folder): port enumeration in a test sees only
// the devices the test makes, whatever serial ports the machine has.

#include <string>

#include "core/link/port_numbers.h"

class DeviceTree {
public:
    // Makes folder/dev and folder/sys; the folder's owner removes them.
    explicit DeviceTree(const std::string& folder);

    const DeviceRoots& roots() const { return roots_; }
    // A device node of the tree (name like "ttyUSB0"), a link to a real character device.
    void addDevice(const std::string& name, const std::string& target = "/dev/null");
    // The UART type the kernel reports for a ttyS device; 0 is no UART.
    void setUartType(const std::string& name, int type);

private:
    DeviceRoots roots_;
};
