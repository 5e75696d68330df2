#include "core/formats/config_image.h"

#include <algorithm>

#include "core/formats/cw_message.h"
#include "core/formats/tone_sequence.h"
#include "core/formats/unit_conversions.h"

namespace {

// Byte offsets of the configuration block.
namespace ConfigByte {
constexpr int mode = 0;
constexpr int options = 1;
constexpr int startupDelay = 2;
constexpr int stepLength = 3;
constexpr int cycleId = 4;
constexpr int transmitterCount = 5;
constexpr int frequencyLow = 6;
constexpr int frequencyHigh = 7;
constexpr int autoShutdown = 8;
constexpr int oscillatorTune = 9;
constexpr int dotLength = 10;
constexpr int recoveryBeaconDelay = 11;
constexpr int reserved = 12;
} // namespace ConfigByte

namespace OptionBit {
constexpr std::uint8_t halfOutput = 0x01;
constexpr std::uint8_t keyed = 0x02;
constexpr std::uint8_t autoId = 0x04;
} // namespace OptionBit

namespace TransmitBits {
constexpr std::uint8_t mask = 0x03;
constexpr std::uint8_t continuous = 0x00;
constexpr std::uint8_t cycled = 0x01;
constexpr std::uint8_t sequenced = 0x03;
} // namespace TransmitBits

// The audio mode is one bit of the mode byte, indexed by the audio mode.
constexpr std::array<std::uint8_t, 6> audioBit{0x10, 0x40, 0x80, 0x20, 0x08, 0x04};
// The firmware tests the audio bits in this order, so a byte with several set plays the
// first of them; reading follows the same order.
constexpr std::array<AudioMode, 6> audioTestOrder{AudioMode::singleTone,   AudioMode::waveFile,
                                                  AudioMode::cwMessage,    AudioMode::soundEffect,
                                                  AudioMode::toneSequence, AudioMode::ringtone};

std::uint8_t audioBitOf(AudioMode mode) {
    // A mode the form would have refused plays a single tone, the firmware's own default.
    const auto index = static_cast<std::size_t>(mode);
    return index < audioBit.size() ? audioBit[index] : audioBit[0];
}

constexpr int stepUnitSeconds = 10;
constexpr std::uint8_t trimMask = 0x1F;
constexpr std::uint8_t trimSignBit = 0x10;
constexpr std::uint8_t trimSignExtension = 0xE0;

// Each value is cut to its byte; the form's ranges keep a checked value within it.
std::uint8_t low8(unsigned value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

std::uint8_t encodeModeByte(TransmitMode transmitMode, AudioMode audioMode) {
    std::uint8_t transmit = TransmitBits::continuous;
    if (transmitMode == TransmitMode::cycled) transmit = TransmitBits::cycled;
    if (transmitMode == TransmitMode::sequenced) transmit = TransmitBits::sequenced;
    return static_cast<std::uint8_t>(transmit | audioBitOf(audioMode));
}

void decodeModeByte(std::uint8_t modeByte, TransmitMode& transmitMode, AudioMode& audioMode) {
    // Bit 1 alone is not a mode of its own: it reads as continuous.
    if ((modeByte & TransmitBits::cycled) == 0)
        transmitMode = TransmitMode::continuous;
    else if ((modeByte & TransmitBits::mask) == TransmitBits::sequenced)
        transmitMode = TransmitMode::sequenced;
    else
        transmitMode = TransmitMode::cycled;
    for (AudioMode mode : audioTestOrder) {
        if (modeByte & audioBitOf(mode)) {
            audioMode = mode;
            return;
        }
    }
}

bool ConfigImage::settingsStored() const {
    const auto block = bytes.begin() + TimerMemoryMap::configAddress;
    return !std::all_of(block, block + TimerMemoryMap::configLength,
                        [](std::uint8_t b) { return b == TimerMemoryMap::erasedByte; });
}

void ConfigImage::decode(TimerSettings& settings, int clockHz) const {
    // A timer that never received a sound holds erased cells as its length: it has no table.
    const int soundLength = TimerMemoryMap::soundLengthAddress;
    const bool noSound = std::all_of(bytes.begin() + soundLength,
                                     bytes.begin() + soundLength + TimerMemoryMap::soundLengthLength,
                                     [](std::uint8_t b) { return b == TimerMemoryMap::erasedByte; });
    settings.tableLength =
        noSound ? 0 : bytes[soundLength] + 256 * bytes[soundLength + 1] + 65536 * bytes[soundLength + 2];
    std::copy_n(bytes.begin() + TimerMemoryMap::transmitSequenceAddress,
                TimerMemoryMap::transmitSequenceLength, settings.transmitSequence.begin());
    // Erased cells are no settings: decoded, they would fill the form with values it refuses
    // (255 transmitters, cycle ID 256) behind controls the operator cannot reach.
    if (!settingsStored()) return;

    decodeModeByte(bytes[ConfigByte::mode], settings.transmitMode, settings.audioMode);
    const std::uint8_t options = bytes[ConfigByte::options];
    settings.outputLevel = (options & OptionBit::halfOutput) ? OutputLevel::half : OutputLevel::full;
    settings.keyed = (options & OptionBit::keyed) != 0;
    settings.autoId = (options & OptionBit::autoId) != 0;
    settings.startupDelay = bytes[ConfigByte::startupDelay];
    settings.stepLength = bytes[ConfigByte::stepLength] * stepUnitSeconds;
    settings.cycleId = bytes[ConfigByte::cycleId] + 1;
    settings.transmitterCount = bytes[ConfigByte::transmitterCount];
    settings.toneFrequency =
        unitsToHz(bytes[ConfigByte::frequencyLow] + 256 * bytes[ConfigByte::frequencyHigh], clockHz);
    settings.autoShutdown = bytes[ConfigByte::autoShutdown];
    // The trim is a 5-bit two's-complement number; bit 4 is its sign.
    std::uint8_t trim = bytes[ConfigByte::oscillatorTune];
    if (trim & trimSignBit) trim |= trimSignExtension;
    settings.oscillatorTune = static_cast<std::int8_t>(trim);
    // A dot of no length has no speed: the speed shown stays as it was.
    if (bytes[ConfigByte::dotLength] != 0) settings.cwSpeed = dotMsToWpm(bytes[ConfigByte::dotLength]);
    settings.recoveryBeaconDelay = bytes[ConfigByte::recoveryBeaconDelay];
    settings.cwText = decodeCwMessage(bytes.data() + TimerMemoryMap::cwMessageAddress);
    settings.toneSequenceText =
        formatToneSequenceText(bytes.data() + TimerMemoryMap::toneSequenceAddress, clockHz);
}

ConfigBlock encodeConfigBlock(const TimerSettings& settings, int clockHz) {
    ConfigBlock block{};
    block[ConfigByte::mode] = encodeModeByte(settings.transmitMode, settings.audioMode);
    std::uint8_t options = 0;
    if (settings.outputLevel == OutputLevel::half) options |= OptionBit::halfOutput;
    if (settings.keyed) options |= OptionBit::keyed;
    if (settings.autoId) options |= OptionBit::autoId;
    block[ConfigByte::options] = options;
    block[ConfigByte::startupDelay] = low8(settings.startupDelay);
    block[ConfigByte::stepLength] = low8(settings.stepLength / stepUnitSeconds);
    block[ConfigByte::cycleId] = low8(static_cast<unsigned>(settings.cycleId) - 1U);
    block[ConfigByte::transmitterCount] = low8(settings.transmitterCount);
    const int units = hzToUnits(settings.toneFrequency, clockHz);
    block[ConfigByte::frequencyLow] = low8(units);
    block[ConfigByte::frequencyHigh] = low8(static_cast<unsigned>(units) >> 8);
    block[ConfigByte::autoShutdown] = low8(settings.autoShutdown);
    block[ConfigByte::oscillatorTune] = static_cast<std::uint8_t>(settings.oscillatorTune & trimMask);
    block[ConfigByte::dotLength] = low8(wpmToDotMs(settings.cwSpeed));
    block[ConfigByte::recoveryBeaconDelay] = low8(settings.recoveryBeaconDelay);
    block[ConfigByte::reserved] = 0;
    return block;
}
