#pragma once
// Port numbers: the per-user port directory first, then the fixed device scheme.

#include <string>
#include <vector>

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
// The name under which the operator picks port n ("COM7").
std::string portName(unsigned n);
// Device path for port number n, or empty when the number has no device.
std::string portDevicePath(int n, const DeviceRoots& roots = DeviceRoots{});
// Numbers of the ports present: links of the port directory, then devices of the fixed scheme.
void enumerateSerialPorts(std::vector<unsigned>& list, const DeviceRoots& roots = DeviceRoots{});
