#pragma once
// WAV files for the sound tests: those stored in tests/data/sound, and canonical files of
// any length made on the spot.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

std::string soundDataPath(const std::string& name);
std::vector<std::uint8_t> soundData(const std::string& name);
// RIFF/WAVE with the canonical 44-byte header, 8-bit mono 11025 Hz, n samples of value.
std::vector<std::uint8_t> canonicalWav(std::size_t n, std::uint8_t value = 0x80);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
