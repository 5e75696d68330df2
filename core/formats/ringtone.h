#pragma once
// The ringtone melody: RTTTL text (name:defaults:notes) read note by note, the 128-byte
// block the timer plays it from, and the list of tones the PC plays as its preview.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/formats/timer_memory_map.h"
#include "core/formats/tone_synthesis.h"

using RingtoneMelody = std::array<std::uint8_t, TimerMemoryMap::ringtoneLength>;

// The note number of a pause, and of every character that is no note.
inline constexpr int ringtonePause = 50;
inline constexpr int ringtoneHeaderLength = 6;
// The block is full once the notes reach this many bytes.
inline constexpr int ringtoneFullLength = 127;
// Octaves of the preview's frequency table; the timer plays only up to 7.
inline constexpr int ringtoneLowestOctave = 4;
inline constexpr int ringtoneHighestOctave = 8;
inline constexpr int ringtoneHighestTimerOctave = 7;

struct RingtoneNote {
    int number = ringtonePause; // 0 (A) .. 11 (G#), or ringtonePause
    int duration = 4;           // 1 whole, 2 half, 4 quarter ... 32
    bool dotted = false;
    int octave = 6;
    std::size_t next = 0; // position after the note
};

// Reads one note at position (not at a comma or blank, which the callers step over): an
// optional duration, the letter with an optional "#", an optional "." and an optional
// octave digit 4..8. Never reads past the end of text.
RingtoneNote parseRingtoneNote(std::string_view text, std::size_t position, int defaultOctave,
                               int defaultDuration);

struct RingtoneDefaults {
    int octave = 6;
    int duration = 4;
    int beatsPerMinute = 63;
};

// Takes "d=", "o=" and "b=" (lower case) from a defaults section into defaults; keys that
// are missing leave their value as it was.
RingtoneDefaults parseRingtoneDefaults(std::string_view section, RingtoneDefaults defaults);

// 3-bit codes of the header and of the two-byte notes.
int ringtoneDurationCode(int duration);
int ringtoneOctaveCode(int octave);

// A duration or tempo of zero or less gives no note a length: such a melody is neither
// encoded nor played.
bool ringtoneHasTempo(const RingtoneDefaults& defaults);
// Length of a whole note in milliseconds: duration x 60000 / beats per minute, truncated.
// Zero without a tempo.
std::int64_t ringtoneWholeNoteMs(const RingtoneDefaults& defaults);
// The block holds the whole note in 13 bits: a longer one plays that many times too fast.
inline constexpr std::int64_t ringtoneLongestWholeNoteMs = 8191;
// The slowest tempo at which a whole note of the default duration fits the block.
int ringtoneSlowestTempo(int duration);

enum class RingtoneEncodingEnd {
    complete,
    truncated,          // the notes reached ringtoneFullLength bytes; the rest is dropped
    octaveNotSupported, // a note of octave 8 or more: nothing is encoded
    noTempo,            // see ringtoneHasTempo: nothing is encoded
};

struct RingtoneEncoding {
    RingtoneEncodingEnd end = RingtoneEncodingEnd::complete;
    RingtoneMelody melody{};
    int notesDefined = 0;
    int usedLength = 0; // L, header included; the dialog's "EE data size"

    // A melody that can be sent: complete or truncated.
    bool encoded() const {
        return end == RingtoneEncodingEnd::complete || end == RingtoneEncodingEnd::truncated;
    }
};

RingtoneEncoding encodeRingtone(std::string_view noteText, const RingtoneDefaults& defaults, bool staccato);

// Preview frequency in Hz of a note number (0..11) in an octave (4..8); 0 for a pause and
// for an octave the table does not hold.
int ringtoneFrequencyHz(int number, int octave);

// The notes as the preview plays them, one after another without gaps, pauses included.
// Empty without a tempo.
std::vector<PlayedTone> ringtonePreview(std::string_view noteText, const RingtoneDefaults& defaults);
