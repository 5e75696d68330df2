#pragma once
// Port names as the operator and the system know them: "COM<N>".

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
