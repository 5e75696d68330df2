// The ringtone melody block, the note parser and the preview list, against the timer's
// worked example and the edge cases of its note text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/formats/ringtone.h"

namespace {

const RingtoneDefaults example{5, 4, 120}; // o=5, d=4, b=120

std::vector<std::uint8_t> head(const RingtoneEncoding& e, std::size_t count) {
    return {e.melody.begin(), e.melody.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::string repeated(const std::string& note, int count) {
    std::string text;
    for (int k = 0; k < count; ++k)
        text += (k ? "," : "") + note;
    return text;
}

TEST(RingtoneMelody, WorkedExample) {
    const RingtoneEncoding e = encodeRingtone("8a,4a,8c.6,p", example, true);
    EXPECT_EQ(e.end, RingtoneEncodingEnd::complete);
    EXPECT_EQ(head(e, 12), (std::vector<std::uint8_t>{0x80, 0x9A, 0x9F, 0xD0, 0xC0, 0x4C, 0xA1, 0x20, 0x01,
                                                      0xF4, 0x21, 0x00}));
    for (std::size_t i = 12; i < e.melody.size(); ++i)
        ASSERT_EQ(e.melody[i], 0) << i;
    EXPECT_EQ(e.notesDefined, 4);
    EXPECT_EQ(e.usedLength, 12);
    // Without staccato only bit 6 of byte 4 changes.
    EXPECT_EQ(encodeRingtone("8a,4a,8c.6,p", example, false).melody[4], 0x80);
}

TEST(RingtoneMelody, NotesAndTheirCodes) {
    // 16e and 32e carry duration codes 5 and 6 in their second byte.
    EXPECT_EQ(head(encodeRingtone("16e,32e", example, true), 10),
              (std::vector<std::uint8_t>{0x80, 0x9A, 0x9F, 0xD0, 0xC0, 0x4A, 0xA8, 0x28, 0xA8, 0x30}));
    // The dot after an octave digit is a note of its own: a pause of the defaults.
    const RingtoneEncoding c6 = encodeRingtone("c6.", example, true);
    EXPECT_EQ(c6.notesDefined, 2);
    EXPECT_EQ(head(c6, 9), (std::vector<std::uint8_t>{0x80, 0x9A, 0x9F, 0xD0, 0xC0, 0x49, 0x94, 0x01, 0x00}));
    // b#, e#, H and p are pauses; letters are case-blind; a dotted default note is one byte.
    EXPECT_EQ(head(encodeRingtone("b#,e#,H,p,x#", example, true), 11),
              (std::vector<std::uint8_t>{0x80, 0x9A, 0x9F, 0xD0, 0xC0, 0x4B, 0, 0, 0, 0, 0}));
    EXPECT_EQ(encodeRingtone("A,c#,G#6,f.", example, true).melody,
              encodeRingtone("a,C#,g#6,F.", example, true).melody);
    EXPECT_EQ(encodeRingtone("f.", example, true).melody[6], 0x49);
    // Blanks and commas only: no notes, and a valid melody.
    const RingtoneEncoding none = encodeRingtone(" ,, , ", example, true);
    EXPECT_EQ(none.end, RingtoneEncodingEnd::complete);
    EXPECT_EQ(none.notesDefined, 0);
    EXPECT_EQ(none.usedLength, 6);
    // A duration at the very end is a pause of that duration; "3" alone is no duration.
    EXPECT_EQ(head(encodeRingtone("a,16", example, true), 9),
              (std::vector<std::uint8_t>{0x80, 0x9A, 0x9F, 0xD0, 0xC0, 0x49, 0x01, 0xA0, 0x28}));
    const RingtoneNote three = parseRingtoneNote("3a", 0, 5, 4);
    EXPECT_EQ(three.number, ringtonePause);
    EXPECT_EQ(three.next, 1u);
    const RingtoneNote full = parseRingtoneNote("x32g#.7,", 1, 5, 4);
    EXPECT_EQ(full.duration, 32);
    EXPECT_EQ(full.number, 11);
    EXPECT_TRUE(full.dotted);
    EXPECT_EQ(full.octave, 7);
    EXPECT_EQ(full.next, 7u);
}

TEST(RingtoneMelody, TruncationAtTheEndOfTheBlock) {
    const RingtoneEncoding fits = encodeRingtone(repeated("a", 120), example, true);
    EXPECT_EQ(fits.end, RingtoneEncodingEnd::complete);
    EXPECT_EQ(fits.usedLength, 126);
    // The 121st note reaches 127 bytes: it is kept, the rest dropped.
    const RingtoneEncoding full = encodeRingtone(repeated("a", 125), example, true);
    EXPECT_EQ(full.end, RingtoneEncodingEnd::truncated);
    EXPECT_TRUE(full.encoded());
    EXPECT_EQ(full.notesDefined, 121);
    EXPECT_EQ(full.usedLength, 127);
    EXPECT_EQ(full.melody[126], 0x01);
    EXPECT_EQ(full.melody[127], 0x00);
    EXPECT_EQ(full.melody[4], 0xC1); // L = 127: bits 11..6 are 1
    EXPECT_EQ(full.melody[5], 0x7F);
    // A two-byte note from 126 fills the block to 128 and is reported though nothing is lost.
    const RingtoneEncoding last = encodeRingtone(repeated("a", 120) + ",8b", example, true);
    EXPECT_EQ(last.end, RingtoneEncodingEnd::truncated);
    EXPECT_EQ(last.usedLength, 128);
    EXPECT_EQ(last.melody[127], 0x20);
    EXPECT_EQ(last.melody[5], 0x40);
}

TEST(RingtoneMelody, WholeNoteKeepsThirteenBits) {
    const RingtoneEncoding w3809 = encodeRingtone("a", {6, 4, 63}, true);
    EXPECT_EQ(w3809.melody[2], 0xBB);
    EXPECT_EQ(w3809.melody[3], 0xE1);
    // 9600 ms does not fit: 1408 is stored.
    const RingtoneEncoding w9600 = encodeRingtone("a", {6, 4, 25}, true);
    EXPECT_EQ(ringtoneWholeNoteMs({6, 4, 25}), 9600);
    EXPECT_EQ(w9600.melody[2], 0x80 + (1408 >> 6));
    EXPECT_EQ(w9600.melody[3], 0xC0 + (1408 & 0x3F));
}

TEST(RingtoneMelody, OctaveEightAndMissingTempoEncodeNothing) {
    const RingtoneDefaults high{8, 4, 100};
    EXPECT_TRUE(encodeRingtone("a5,c6,e7,g4", high, true).encoded());
    EXPECT_EQ(encodeRingtone("a5,c6,e7,g4", high, true).melody[1], 0x80 + 3 * 8 + 7);
    for (const char* text : {"a", "a5,p", "a5,c8"}) {
        const RingtoneEncoding e = encodeRingtone(text, high, true);
        EXPECT_EQ(e.end, RingtoneEncodingEnd::octaveNotSupported) << text;
        EXPECT_EQ(e.melody, RingtoneMelody{});
    }
    // A duration or tempo of 0 divides nothing: no block, no preview.
    for (const RingtoneDefaults& none : {RingtoneDefaults{5, 4, 0}, RingtoneDefaults{5, 0, 120}}) {
        EXPECT_EQ(encodeRingtone("a,b", none, true).end, RingtoneEncodingEnd::noTempo);
        EXPECT_TRUE(ringtonePreview("a,b", none).empty());
    }
}

TEST(RingtoneMelody, DefaultsSection) {
    RingtoneDefaults d = parseRingtoneDefaults("d=8,o=4,b=140", {});
    EXPECT_EQ(d.duration, 8);
    EXPECT_EQ(d.octave, 4);
    EXPECT_EQ(d.beatsPerMinute, 140);
    // Missing keys keep their values; the last of a repeated key wins; upper case is no
    // key; blanks and a sign before the digits are taken; no digits give 0.
    d = parseRingtoneDefaults(" b=  +90x, D=2, b=100 ,o=", {6, 4, 63});
    EXPECT_EQ(d.duration, 4);
    EXPECT_EQ(d.beatsPerMinute, 100);
    EXPECT_EQ(d.octave, 0);
    EXPECT_EQ(parseRingtoneDefaults("d=-3", {}).duration, -3);
    EXPECT_EQ(parseRingtoneDefaults("d=99999999999", {}).duration, 2147483647);
    EXPECT_EQ(parseRingtoneDefaults("d", {6, 4, 63}).duration, 4);
}

TEST(RingtonePreview, LengthsAndFrequencies) {
    EXPECT_EQ(ringtonePreview("8a,4a,8c.6,p", example),
              (std::vector<PlayedTone>{{440, 250}, {440, 500}, {1047, 375}, {0, 500}}));
    // Octave 8 plays like any other; a default octave the table does not hold plays pauses.
    EXPECT_EQ(ringtonePreview("g#8,a,b4", {3, 4, 120}),
              (std::vector<PlayedTone>{{6640, 500}, {0, 500}, {247, 500}}));
    EXPECT_EQ(ringtonePreview("32c.", {5, 4, 63}), (std::vector<PlayedTone>{{523, 178}}));
    EXPECT_EQ(ringtoneFrequencyHz(ringtonePause, 5), 0);
}

} // namespace
