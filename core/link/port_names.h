#pragma once
// Port names as the operator and the system know them: "COM<N>".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The name under which the operator picks port n ("COM7").
std::string portName(unsigned n);
// The number a port name "COM<N>" gives, in any letter case; 0 when the name is no port name
// (no digits, anything after them, or a number beyond int).
int comPortNumber(std::string_view name);
// The numbers of the port names among names, in ascending order, each once.
std::vector<unsigned> comPortNumbers(const std::vector<std::string>& names);

// A port as the operator names it: the number the port list shows (5 or COM5), or the path
// of a device (/dev/ttyUSB0, \\.\COM12).
struct PortChoice {
    int number = 0;
    std::string devicePath;
};
// The port that text names, or nothing with problem saying why. A path is refused here when
// it names nothing, a regular file or a folder, so that no open is tried on it; Windows
// device paths (\\.\COM12) are left to their open.
std::optional<PortChoice> parsePortChoice(std::string_view text, std::string& problem);
