#pragma once
// Port numbers: the per-user port directory first, then the fixed device scheme.

#include <string>
#include <vector>

// $XDG_CONFIG_HOME/VOSK/ports (default ~/.config/VOSK/ports).
std::string portDirectory();
// Device path for port number n, or empty when the number has no device.
std::string portDevicePath(int n);
// Numbers of the ports present: links of the port directory, then devices of the fixed scheme.
void enumerateSerialPorts(std::vector<unsigned>& list);
