// Ringtone files come from anywhere: the note parser, the defaults section, the encoder
// and the preview take any text, with any defaults a file can hold.
#include <cstdint>
#include <string_view>

#include "core/formats/ringtone.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // The first bytes choose defaults around and beyond their ranges, zero and negatives included.
    const RingtoneDefaults defaults{data[0] % 12 - 2, data[1] % 70 - 2, data[2] * 3 - 10};
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);
    parseRingtoneDefaults(text, defaults);

    // Every note moves on, stays inside the text and is a note or a pause of a known octave.
    int notes = 0;
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
        ++notes;
    }

    const RingtoneEncoding encoding = encodeRingtone(text, defaults, true);
    if (encoding.encoded()) {
        const int length = encoding.usedLength;
        check(length >= ringtoneHeaderLength && length <= 128);
        check((encoding.end == RingtoneEncodingEnd::truncated) == (length >= ringtoneFullLength));
        // The header carries L, and nothing follows it.
        const RingtoneMelody& m = encoding.melody;
        check(m[0] == 0x80 && (m[4] & 0x3F) * 64 + (m[5] & 0x3F) == length);
        for (int i = length; i < 128; ++i)
            check(m[static_cast<std::size_t>(i)] == 0);
        // Each note took one or two bytes.
        const int noteBytes = length - ringtoneHeaderLength;
        check(encoding.notesDefined <= noteBytes && 2 * encoding.notesDefined >= noteBytes);
        if (encoding.end == RingtoneEncodingEnd::complete) check(encoding.notesDefined == notes);
    }

    // The preview plays every note, pauses included, never with a negative length.
    const auto tones = ringtonePreview(text, defaults);
    check(ringtoneHasTempo(defaults) ? static_cast<int>(tones.size()) == notes : tones.empty());
    for (const PlayedTone& tone : tones)
        check(tone.milliseconds >= 0 && tone.frequencyHz >= 0 && tone.frequencyHz <= 6640);
    return 0;
}
