#pragma once
// Lists of tones as sound: sine waves with short fades at both ends of every tone (so that
// no edge clicks), silence for pauses, as 16-bit samples; and the header of a WAV file that
// holds them. The sound card and the WAV writer of the command line share the samples.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// One tone of a played list; a frequency of 0 is a pause.
struct PlayedTone {
    int frequencyHz = 0;
    std::int64_t milliseconds = 0;

    bool operator==(const PlayedTone&) const = default;
};

class ToneSynthesizer {
public:
    // A tone longer than a day is played for a day.
    static constexpr std::int64_t longestToneMs = 24LL * 60 * 60 * 1000;
    static constexpr double defaultAmplitude = 0.5;

    // sampleRate must be positive. Every tone starts at the sample its start time falls in,
    // so the whole list lasts the sum of its lengths, to the sample.
    ToneSynthesizer(std::vector<PlayedTone> tones, int sampleRate, double amplitude = defaultAmplitude);

    std::int64_t totalSamples() const { return end_; }
    std::int64_t position() const { return position_; }
    bool finished() const { return position_ >= totalSamples(); }
    int sampleRate() const { return sampleRate_; }

    // Fills out with the next samples; fewer than out.size() only at the end.
    std::size_t render(std::span<std::int16_t> out);
    // Ends the sound early, from the next sample on, with a fade instead of a click.
    void fadeOut();

private:
    std::vector<PlayedTone> tones_;
    // Sample index of each tone's start; the last entry is the end of the list.
    std::vector<std::int64_t> boundaries_;
    int sampleRate_;
    double amplitude_;
    std::size_t tone_ = 0;
    std::int64_t position_ = 0;
    std::int64_t end_ = 0;
    std::int64_t fadeOutStart_ = -1;

    double fadeSamples() const;
};

inline constexpr int wavHeaderLength = 44;
using WavHeader = std::array<std::uint8_t, wavHeaderLength>;

// The header of a 16-bit mono PCM WAV file of sampleCount samples; nothing when the
// samples do not fit the file's 32-bit sizes.
std::optional<WavHeader> wavHeader(std::int64_t sampleCount, int sampleRate);
