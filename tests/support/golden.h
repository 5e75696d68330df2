#pragma once
// Bytes written by hand in tests/data: hex pairs, with '#' starting a comment that runs to
// the end of its line.

#include <cstdint>
#include <string>
#include <vector>

class TimerEmulator;

std::vector<std::uint8_t> goldenBytes(const std::string& name);
// Puts a stored 128-byte configuration image into the timer's parameter memory at address 0.
void loadGoldenImage(TimerEmulator& timer, const std::string& name);
