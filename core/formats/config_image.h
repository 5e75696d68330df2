#pragma once
// The 128-byte configuration image read back from the timer, and the 13-byte
// configuration block written at address 0.

#include <array>
#include <cstdint>

#include "core/formats/timer_memory_map.h"
#include "core/timer_settings.h"

using ConfigBlock = std::array<std::uint8_t, TimerMemoryMap::configLength>;

struct ConfigImage {
    std::array<std::uint8_t, TimerMemoryMap::imageLength> bytes{};

    // Replaces the image-backed fields of settings; audioMode and cwSpeed keep their
    // values where the image has none for them. A timer that never had settings written
    // gives only its table length and transmit sequence: the fields of the configuration
    // block, the CW text and the tone sequence keep their values.
    void decode(TimerSettings& settings, int clockHz) const;
    // False for a timer whose configuration block was never written (all cells erased).
    bool settingsStored() const;
};

ConfigBlock encodeConfigBlock(const TimerSettings& settings, int clockHz);
std::uint8_t encodeModeByte(TransmitMode transmitMode, AudioMode audioMode);
// A byte without an audio bit leaves audioMode as it was.
void decodeModeByte(std::uint8_t modeByte, TransmitMode& transmitMode, AudioMode& audioMode);
