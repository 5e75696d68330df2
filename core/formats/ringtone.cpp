#include "core/formats/ringtone.h"

#include "core/decimal.h"

namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int naturalNote(char c) {
    switch (upper(c)) {
    case 'A':
        return 0;
    case 'B':
        return 2;
    case 'C':
        return 3;
    case 'D':
        return 5;
    case 'E':
        return 7;
    case 'F':
        return 8;
    case 'G':
        return 10;
    default:
        return ringtonePause;
    }
}

// B and E have no sharp of their own.
int sharpNote(char c) {
    switch (upper(c)) {
    case 'A':
        return 1;
    case 'C':
        return 4;
    case 'D':
        return 6;
    case 'F':
        return 9;
    case 'G':
        return 11;
    default:
        return ringtonePause;
    }
}

// The frequencies of octave 4; the other octaves of the table are taken from their own
// columns, which are not exact doublings.
constexpr std::array<std::array<int, 12>, 5> previewFrequencies{{
    {220, 233, 247, 261, 277, 294, 311, 329, 349, 370, 392, 415},
    {440, 466, 494, 523, 554, 587, 622, 659, 698, 740, 784, 830},
    {880, 932, 988, 1047, 1109, 1175, 1244, 1319, 1397, 1480, 1568, 1660},
    {1760, 1865, 1976, 2093, 2218, 2349, 2489, 2637, 2794, 2960, 3136, 3320},
    {3520, 3729, 3951, 4186, 4435, 4699, 4978, 5274, 5588, 5920, 6272, 6640},
}};

// Calls f for each note of the text, stepping over commas and blanks; f answers whether
// to go on.
template <typename F> void forEachNote(std::string_view text, const RingtoneDefaults& defaults, F f) {
    std::size_t position = 0;
    while (position < text.size()) {
        if (text[position] == ',' || text[position] == ' ') {
            ++position;
            continue;
        }
        const RingtoneNote note = parseRingtoneNote(text, position, defaults.octave, defaults.duration);
        position = note.next;
        if (!f(note)) return;
    }
}

} // namespace

RingtoneNote parseRingtoneNote(std::string_view text, std::size_t position, int defaultOctave,
                               int defaultDuration) {
    RingtoneNote note;
    note.octave = defaultOctave;
    note.duration = defaultDuration;
    std::size_t i = position;
    const auto at = [&text](std::size_t k) { return k < text.size() ? text[k] : '\0'; };

    if (at(i) == '3' && at(i + 1) == '2') {
        note.duration = 32;
        i += 2;
    } else if (at(i) == '1' && at(i + 1) == '6') {
        note.duration = 16;
        i += 2;
    } else if (at(i) == '8' || at(i) == '4' || at(i) == '2' || at(i) == '1') {
        note.duration = at(i) - '0';
        ++i;
    }

    // A duration at the very end is a pause of that duration.
    if (i >= text.size()) {
        note.next = text.size();
        return note;
    }
    if (at(i + 1) == '#') {
        note.number = sharpNote(text[i]);
        i += 2;
    } else {
        note.number = naturalNote(text[i]);
        ++i;
    }
    if (at(i) == '.') {
        note.dotted = true;
        ++i;
    }
    if (at(i) >= '4' && at(i) <= '8') {
        note.octave = at(i) - '0';
        ++i;
    }
    note.next = i;
    return note;
}

RingtoneDefaults parseRingtoneDefaults(std::string_view section, RingtoneDefaults defaults) {
    for (std::size_t i = 0; i + 1 < section.size();) {
        const char key = section[i];
        if (section[i + 1] == '=' && (key == 'd' || key == 'o' || key == 'b')) {
            const int value = leadingInteger(section.substr(i + 2));
            if (key == 'd') defaults.duration = value;
            if (key == 'o') defaults.octave = value;
            if (key == 'b') defaults.beatsPerMinute = value;
            i += 2;
        } else {
            ++i;
        }
    }
    return defaults;
}

int ringtoneDurationCode(int duration) {
    switch (duration) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 4:
        return 3;
    case 8:
        return 4;
    case 16:
        return 5;
    case 32:
        return 6;
    case 64:
        return 7;
    default:
        return 1;
    }
}

int ringtoneOctaveCode(int octave) {
    return ~octave & 0x07;
}

bool ringtoneHasTempo(const RingtoneDefaults& defaults) {
    return defaults.duration > 0 && defaults.beatsPerMinute > 0;
}

std::int64_t ringtoneWholeNoteMs(const RingtoneDefaults& defaults) {
    if (!ringtoneHasTempo(defaults)) return 0;
    return std::int64_t{defaults.duration} * 60000 / defaults.beatsPerMinute;
}

int ringtoneSlowestTempo(int duration) {
    // duration x 60000 / tempo, truncated, stays below 8192 exactly when the tempo is above
    // duration x 60000 / 8192.
    return static_cast<int>(std::int64_t{duration} * 60000 / (ringtoneLongestWholeNoteMs + 1) + 1);
}

RingtoneEncoding encodeRingtone(std::string_view noteText, const RingtoneDefaults& defaults, bool staccato) {
    RingtoneEncoding result;
    if (!ringtoneHasTempo(defaults)) {
        result.end = RingtoneEncodingEnd::noTempo;
        return result;
    }
    RingtoneMelody& melody = result.melody;
    int length = ringtoneHeaderLength;
    int count = 0;
    forEachNote(noteText, defaults, [&](const RingtoneNote& note) {
        if (note.octave > ringtoneHighestTimerOctave) {
            result.end = RingtoneEncodingEnd::octaveNotSupported;
            return false;
        }
        const int number = note.number == ringtonePause ? 0 : note.number + 1;
        const std::uint8_t dotted = note.dotted ? 0x40 : 0x00;
        const bool ownDuration = note.duration != defaults.duration;
        const bool ownOctave = note.octave != defaults.octave;
        if (!ownDuration && !ownOctave) {
            melody[static_cast<std::size_t>(length++)] = static_cast<std::uint8_t>(dotted | number);
        } else {
            melody[static_cast<std::size_t>(length++)] = static_cast<std::uint8_t>(
                0x80 | dotted | (ownDuration ? 0x20 : 0) | (ownOctave ? 0x10 : 0) | number);
            melody[static_cast<std::size_t>(length++)] =
                static_cast<std::uint8_t>((ownDuration ? ringtoneDurationCode(note.duration) << 3 : 0) |
                                          (ownOctave ? ringtoneOctaveCode(note.octave) : 0));
        }
        ++count;
        // Tested after each note: the note that reaches the limit is kept, whole.
        if (length >= ringtoneFullLength) {
            result.end = RingtoneEncodingEnd::truncated;
            return false;
        }
        return true;
    });
    if (result.end == RingtoneEncodingEnd::octaveNotSupported) {
        result.melody.fill(0);
        return result;
    }

    result.notesDefined = count;
    result.usedLength = length;
    // The timer has 13 bits for the whole note; a longer one keeps only its low bits.
    const auto whole = static_cast<std::uint32_t>(ringtoneWholeNoteMs(defaults)) & 0x1FFF;
    const auto used = static_cast<std::uint32_t>(length);
    melody[0] = 0x80;
    melody[1] = static_cast<std::uint8_t>(0x80 + ringtoneDurationCode(defaults.duration) * 8 +
                                          ringtoneOctaveCode(defaults.octave));
    melody[2] = static_cast<std::uint8_t>(0x80 + ((whole >> 6) & 0x7F));
    melody[3] = static_cast<std::uint8_t>(0xC0 + (whole & 0x3F));
    melody[4] = static_cast<std::uint8_t>(0x80 + ((used >> 6) & 0x3F) + (staccato ? 0x40 : 0));
    melody[5] = static_cast<std::uint8_t>(0x40 + (used & 0x3F));
    return result;
}

int ringtoneFrequencyHz(int number, int octave) {
    if (number < 0 || number >= 12 || octave < ringtoneLowestOctave || octave > ringtoneHighestOctave)
        return 0;
    return previewFrequencies[static_cast<std::size_t>(octave - ringtoneLowestOctave)]
                             [static_cast<std::size_t>(number)];
}

std::vector<PlayedTone> ringtonePreview(std::string_view noteText, const RingtoneDefaults& defaults) {
    std::vector<PlayedTone> tones;
    if (!ringtoneHasTempo(defaults)) return tones;
    const std::int64_t whole = ringtoneWholeNoteMs(defaults);
    forEachNote(noteText, defaults, [&](const RingtoneNote& note) {
        // Every duration a note can have is positive: its own prefix or the default.
        std::int64_t ms = whole / note.duration;
        if (note.dotted) ms += ms / 2;
        tones.push_back({ringtoneFrequencyHz(note.number, note.octave), ms});
        return true;
    });
    return tones;
}
