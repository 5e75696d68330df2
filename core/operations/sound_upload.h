#pragma once
// The "Load Sound " button of the audio settings: an 8-bit mono WAV file at 11025 Hz,
// converted to the timer's rate, uploaded to its external memory in 32-byte blocks while a
// progress display runs, then its length written and applied.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/operations/operation.h"

namespace SoundSampleText {
inline constexpr const char* noExternalMemory = "The Timer does not have external memory!";
inline constexpr const char* cannotOpen = "ERROR: The Audiofile can not be opened\n";
inline constexpr const char* notWav =
    "ERROR: Input file is not of 11.025kHz 8-bit Mono .WAV type, or no file detected.\n";
inline constexpr const char* truncated = "Warning: Sound Sample too large, truncated";
inline constexpr const char* downloadFailed = "Error in downloading file to I2C memory";
inline constexpr const char* downloaded = "Sound Sample succesful downloaded to timer";
inline constexpr const char* downloadCancelled = "Sound sample download cancelled";
inline constexpr const char* progressText = "Downloading audio file";
inline constexpr const char* fileFilter = "Audio Files (*.wav)|*.wav|All Files (*.*)|*.*||";
inline constexpr const char* fileExtension = "wav";
} // namespace SoundSampleText

// Pause after the last block, while the timer finishes writing its memory.
inline constexpr int soundUploadSettleMs = 100;

// The content of a WAV file (its first 64 MiB); nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> readSoundFile(const std::string& path);

// The whole flow from the open-file choice on. The chosen file becomes audioFilePath before
// it is opened, so a refused file is still the next initial name.
Outcome loadSoundSample(OperationContext& op);
// The flow from reading the file on, to the sample's length written and applied; failures
// are reported, success is not.
Outcome downloadSoundFile(OperationContext& op, const std::string& path);
// Uploads the first count bytes of samples (the last block whole, zero-filled where samples
// ends) with a progress display; a cancel ends it before the next block.
Outcome uploadSoundSample(OperationContext& op, std::span<const std::uint8_t> samples, std::size_t count);
