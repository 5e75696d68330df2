#pragma once
// Port numbers: on POSIX the per-user port directory first, then the fixed device scheme
// (port_numbers.cpp); on Windows the system's own COM numbers (port_numbers_win32.cpp).

#include <string>
#include <vector>

#include "core/link/port_names.h"

#if defined(_WIN32)
// Windows has no device tree to search: the ports are the ones the system lists. The type
// keeps the callers' code the same on both systems.
struct DeviceRoots {};

// Device path for port number n ("\\.\COM<n>"), or empty when n is no port number.
std::string portDevicePath(int n, const DeviceRoots& roots = DeviceRoots{});
// Numbers of the serial ports the system lists, in ascending order.
void enumerateSerialPorts(std::vector<unsigned>& list, const DeviceRoots& roots = DeviceRoots{});
#else
// Where the devices of the fixed scheme and the kernel's reports on them are found. Tests
// give a made-up tree, so that what they see does not depend on the machine's own ports.
struct DeviceRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
};

// $XDG_CONFIG_HOME/VOSK/ports (default ~/.config/VOSK/ports).
std::string portDirectory();
// The link in the port directory that gives a device the number n ("com7").
std::string portLinkPath(int n);
// Device path for port number n, or empty when the number has no device.
std::string portDevicePath(int n, const DeviceRoots& roots = DeviceRoots{});
// Numbers of the ports present: links of the port directory, then devices of the fixed scheme.
void enumerateSerialPorts(std::vector<unsigned>& list, const DeviceRoots& roots = DeviceRoots{});
#endif
