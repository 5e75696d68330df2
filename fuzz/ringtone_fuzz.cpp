// Ringtone files come from anywhere: the note parser, the defaults section, the encoder
// and the preview take any text, with any defaults a file can hold. The block is read
// back note by note, as the timer reads it, and must give the notes of the text.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/formats/ringtone.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// The block's 3-bit codes, from the melody's own rule rather than the encoder's table: a
// 1/2^k note is code k + 1, anything else is stored as a whole note.
int durationCode(int duration) {
    for (int code = 1; code <= 7; ++code)
        if (duration == 1 << (code - 1)) return code;
    return 1;
}

int octaveCode(int octave) {
    return ~octave & 7;
}

int noteNibble(const RingtoneNote& note) {
    return note.number == ringtonePause ? 0 : note.number + 1;
}

// Reads the note at block[at] and checks it against the note of the text; returns the
// position of the next note.
int checkStoredNote(const RingtoneMelody& m, int at, const RingtoneNote& note,
                    const RingtoneDefaults& defaults) {
    const int first = m[static_cast<std::size_t>(at)];
    check((first & 0x0F) == noteNibble(note));
    check(((first & 0x40) != 0) == note.dotted);
    if ((first & 0x80) == 0) {
        // One byte: the default duration and octave.
        check((first & 0x30) == 0);
        check(note.duration == defaults.duration && note.octave == defaults.octave);
        return at + 1;
    }
    const int second = m[static_cast<std::size_t>(at + 1)];
    const bool ownDuration = (first & 0x20) != 0;
    const bool ownOctave = (first & 0x10) != 0;
    check(ownDuration == (note.duration != defaults.duration));
    check(ownOctave == (note.octave != defaults.octave));
    check(ownDuration || ownOctave);
    check((second & 0xC0) == 0);
    check(((second >> 3) & 7) == (ownDuration ? durationCode(note.duration) : 0));
    check((second & 7) == (ownOctave ? octaveCode(note.octave) : 0));
    return at + 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // The first bytes choose defaults around and beyond their ranges, zero and negatives
    // included, and the staccato box.
    const RingtoneDefaults defaults{data[0] % 12 - 2, data[1] % 70 - 2, data[2] * 3 - 10};
    const bool staccato = (data[0] & 0x80) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);
    parseRingtoneDefaults(text, defaults);

    // Every note moves on, stays inside the text and is a note or a pause of a known octave.
    std::vector<RingtoneNote> notes;
    for (std::size_t position = 0; position < text.size();) {
        if (text[position] == ',' || text[position] == ' ') {
            ++position;
            continue;
        }
        const RingtoneNote note = parseRingtoneNote(text, position, defaults.octave, defaults.duration);
        check(note.next > position && note.next <= text.size());
        check((note.number >= 0 && note.number < 12) || note.number == ringtonePause);
        check(note.octave == defaults.octave || (note.octave >= 4 && note.octave <= 8));
        position = note.next;
        notes.push_back(note);
    }

    const RingtoneEncoding encoding = encodeRingtone(text, defaults, staccato);
    if (encoding.encoded()) {
        const int length = encoding.usedLength;
        check(length >= ringtoneHeaderLength && length <= 128);
        check((encoding.end == RingtoneEncodingEnd::truncated) == (length >= ringtoneFullLength));
        // The header: the defaults' codes, the whole note's length, staccato and L.
        const RingtoneMelody& m = encoding.melody;
        check(m[0] == 0x80);
        check(m[1] == 0x80 + durationCode(defaults.duration) * 8 + octaveCode(defaults.octave));
        const std::int64_t whole =
            static_cast<std::int64_t>(defaults.duration) * 60000 / defaults.beatsPerMinute;
        check((m[2] & 0x80) && (m[2] & 0x7F) == ((whole >> 6) & 0x7F));
        check((m[3] & 0xC0) == 0xC0 && (m[3] & 0x3F) == (whole & 0x3F));
        check((m[4] & 0x80) && ((m[4] & 0x40) != 0) == staccato);
        check((m[5] & 0xC0) == 0x40 && (m[4] & 0x3F) * 64 + (m[5] & 0x3F) == length);
        // The notes of the text, in order, and nothing after them.
        check(encoding.notesDefined <= static_cast<int>(notes.size()));
        if (encoding.end == RingtoneEncodingEnd::complete)
            check(encoding.notesDefined == static_cast<int>(notes.size()));
        int at = ringtoneHeaderLength;
        for (int n = 0; n < encoding.notesDefined; ++n) {
            check(notes[n].octave < 8);
            at = checkStoredNote(m, at, notes[n], defaults);
            // The block is full only after its last note.
            check(at < ringtoneFullLength || n == encoding.notesDefined - 1);
        }
        check(at == length);
        for (int i = length; i < 128; ++i)
            check(m[static_cast<std::size_t>(i)] == 0);
    } else if (encoding.end == RingtoneEncodingEnd::octaveNotSupported) {
        bool high = false;
        for (const RingtoneNote& note : notes)
            high = high || note.octave >= 8;
        check(high);
    } else {
        check(!ringtoneHasTempo(defaults));
    }

    // The preview plays every note, pauses included, for its length at the tempo, never
    // with a negative length.
    const auto tones = ringtonePreview(text, defaults);
    check(ringtoneHasTempo(defaults) ? tones.size() == notes.size() : tones.empty());
    const std::int64_t whole = ringtoneWholeNoteMs(defaults);
    for (std::size_t n = 0; n < tones.size(); ++n) {
        const std::int64_t plain = whole / notes[n].duration;
        check(tones[n].milliseconds == (notes[n].dotted ? plain + plain / 2 : plain));
        check(tones[n].frequencyHz >= 0 && tones[n].frequencyHz <= 6640);
        check((tones[n].frequencyHz == 0) ==
              (notes[n].number == ringtonePause || notes[n].octave < 4 || notes[n].octave > 8));
    }
    return 0;
}
