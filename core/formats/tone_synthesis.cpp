#include "core/formats/tone_synthesis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Rise and fall of every tone. Short enough to keep staccato notes crisp, long enough that
// the start and end of a sine carry no click.
constexpr double fadeMs = 5.0;

void putLittleEndian(WavHeader& header, std::size_t at, std::uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k)
        header[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value >> (8 * k));
}

} // namespace

ToneSynthesizer::ToneSynthesizer(std::vector<PlayedTone> tones, int sampleRate, double amplitude)
    : tones_(std::move(tones)), sampleRate_(std::max(sampleRate, 1)),
      amplitude_(std::clamp(amplitude, 0.0, 1.0)) {
    boundaries_.reserve(tones_.size() + 1);
    boundaries_.push_back(0);
    std::int64_t elapsedMs = 0;
    for (PlayedTone& tone : tones_) {
        tone.milliseconds = std::clamp<std::int64_t>(tone.milliseconds, 0, longestToneMs);
        elapsedMs += tone.milliseconds;
        boundaries_.push_back(elapsedMs * sampleRate_ / 1000);
    }
    end_ = boundaries_.back();
}

std::size_t ToneSynthesizer::render(std::span<std::int16_t> out) {
    std::size_t written = 0;
    while (written < out.size() && !finished()) {
        while (position_ >= boundaries_[tone_ + 1])
            ++tone_;
        const std::int64_t start = boundaries_[tone_];
        const std::int64_t end = boundaries_[tone_ + 1];
        const int frequency = tones_[tone_].frequencyHz;
        const auto take = static_cast<std::size_t>(std::min<std::int64_t>(
            std::min(end, end_) - position_, static_cast<std::int64_t>(out.size() - written)));
        if (frequency <= 0) {
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(written), take, std::int16_t{0});
        } else {
            const double length = static_cast<double>(end - start);
            // A very short tone fades in over its first third and out over its last.
            const double fade = std::min(fadeSamples(), length / 3.0);
            for (std::size_t k = 0; k < take; ++k) {
                const std::int64_t at = position_ + static_cast<std::int64_t>(k);
                const auto n = static_cast<double>(at - start);
                double envelope = 1.0;
                const double edge = std::min(n + 0.5, length - n - 0.5);
                if (fade > 0 && edge < fade) envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fade);
                if (fadeOutStart_ >= 0) {
                    const double left = static_cast<double>(end_ - at) - 0.5;
                    const double span = static_cast<double>(end_ - fadeOutStart_);
                    envelope *= 0.5 - 0.5 * std::cos(std::numbers::pi * left / span);
                }
                // The phase restarts with each tone, and n grows with a long tone: the
                // remainder keeps the sine exact for hours.
                const double phase = std::fmod(n * frequency, static_cast<double>(sampleRate_)) /
                                     static_cast<double>(sampleRate_) * 2.0 * std::numbers::pi;
                out[written + k] =
                    static_cast<std::int16_t>(std::lround(32767.0 * amplitude_ * envelope * std::sin(phase)));
            }
        }
        written += take;
        position_ += static_cast<std::int64_t>(take);
    }
    return written;
}

void ToneSynthesizer::fadeOut() {
    if (finished() || fadeOutStart_ >= 0) return;
    fadeOutStart_ = position_;
    end_ = std::min(end_, position_ + std::max<std::int64_t>(1, std::llround(fadeSamples())));
}

double ToneSynthesizer::fadeSamples() const {
    return fadeMs * sampleRate_ / 1000.0;
}

std::optional<WavHeader> wavHeader(std::int64_t sampleCount, int sampleRate) {
    constexpr std::int64_t bytesPerSample = 2;
    const std::int64_t dataBytes = sampleCount * bytesPerSample;
    // The RIFF size counts the 36 header bytes after it.
    if (sampleCount < 0 || sampleRate <= 0 || dataBytes + 36 > 0xFFFFFFFFLL) return std::nullopt;
    WavHeader header{};
    const auto text = [&header](std::size_t at, const char(&word)[5]) {
        std::copy_n(word, 4, header.begin() + static_cast<std::ptrdiff_t>(at));
    };
    text(0, "RIFF");
    putLittleEndian(header, 4, static_cast<std::uint32_t>(dataBytes + 36), 4);
    text(8, "WAVE");
    text(12, "fmt ");
    putLittleEndian(header, 16, 16, 4); // size of the format chunk
    putLittleEndian(header, 20, 1, 2);  // PCM
    putLittleEndian(header, 22, 1, 2);  // mono
    putLittleEndian(header, 24, static_cast<std::uint32_t>(sampleRate), 4);
    putLittleEndian(header, 28, static_cast<std::uint32_t>(sampleRate * bytesPerSample), 4);
    putLittleEndian(header, 32, static_cast<std::uint32_t>(bytesPerSample), 2); // block align
    putLittleEndian(header, 34, 16, 2);                                         // bits per sample
    text(36, "data");
    putLittleEndian(header, 40, static_cast<std::uint32_t>(dataBytes), 4);
    return header;
}
