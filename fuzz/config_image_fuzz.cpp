// The configuration image is whatever the timer sends back. What the program reads from it
// is what it writes back, and what `read` prints of it is what `write --from` takes.
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/form/settings_form.h"
#include "core/form/settings_text.h"
#include "core/formats/config_image.h"
#include "core/formats/cw_message.h"
#include "core/formats/tone_sequence.h"
#include "core/formats/unit_conversions.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// The highest whole frequency whose unit value still fits the configuration's 16 bits.
int highestStoredHz(int clockHz) {
    int hz = unitsToHz(0xFFFF, clockHz);
    while (hzToUnits(hz, clockHz) > 0xFFFF)
        --hz;
    return hz;
}

int fiveBitTrim(int trim) {
    return (trim & 0x0F) - (trim & 0x10);
}

std::string capitals(const std::string& latin1) {
    std::string text;
    for (char c : latin1)
        text += static_cast<char>(cwCapital(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ConfigImage image;
    std::copy_n(data, std::min(size, image.bytes.size()), image.bytes.begin());
    for (int clockHz : {8000000, 10000000}) {
        TimerSettings read;
        image.decode(read, clockHz);
        check(read.cwText.size() <= static_cast<std::size_t>(cwTextMaxLength));

        // Writing back what was read: the configuration block and the CW block, and for a
        // timer that never had settings, the tone sequence too.
        const ConfigBlock block = encodeConfigBlock(read, clockHz);
        check(block[12] == 0 && (block[1] & 0xF8) == 0 && (block[9] & 0xE0) == 0);
        ConfigImage written = image;
        std::copy(block.begin(), block.end(), written.bytes.begin() + TimerMemoryMap::configAddress);
        const CwMessageBlock cw = encodeCwMessage(read.cwText);
        std::copy(cw.begin(), cw.end(), written.bytes.begin() + TimerMemoryMap::cwMessageAddress);
        if (!image.settingsStored()) {
            const ToneSequenceBlock tones =
                packToneSequence(parseToneSequenceText(read.toneSequenceText, clockHz));
            std::copy(tones.begin(), tones.end(),
                      written.bytes.begin() + TimerMemoryMap::toneSequenceAddress);
        }
        TimerSettings again;
        written.decode(again, clockHz);
        // A frequency beyond the 16 bits (only erased or foreign cells give one) is written
        // cut to them, as the form's write does with any value it refused.
        if (read.toneFrequency > highestStoredHz(clockHz)) again.toneFrequency = read.toneFrequency;
        // A trim byte whose bits 5..7 are not the sign of its 5 bits reads beyond -16..15;
        // its 5 bits are what is written back.
        check(again.oscillatorTune == fiveBitTrim(read.oscillatorTune));
        again.oscillatorTune = read.oscillatorTune;
        check(again == read);

        // What read prints, write takes back as the same settings, or refuses with a message.
        std::string error;
        const auto assignments = parseSettingsFile(formatSettingsText(read), error);
        check(assignments.has_value());
        TimerSettings taken;
        if (!applySettings(*assignments, taken)) {
            TimerSettings expected = read;
            expected.cwText = capitals(read.cwText);
            // Written by their own operations, not by the settings.
            expected.tableLength = taken.tableLength;
            expected.transmitSequence = taken.transmitSequence;
            expected.toneSequenceText = taken.toneSequenceText;
            check(taken == expected);
        }
    }
    return 0;
}
