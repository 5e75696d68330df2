// The samples behind the preview and the sounds: no step at any edge, a stop cut short
// without a click.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "core/formats/tone_synthesis.h"

namespace {

// The largest step between neighbouring samples of a full sine of this frequency.
int sineSlope(int frequencyHz, int rate, double amplitude) {
    return static_cast<int>(std::ceil(32767 * amplitude * 2 * std::numbers::pi * frequencyHz / rate));
}

int largestStep(const std::vector<std::int16_t>& samples) {
    int largest = std::abs(samples.front());
    for (std::size_t i = 1; i < samples.size(); ++i)
        largest = std::max(largest, std::abs(samples[i] - samples[i - 1]));
    return std::max(largest, std::abs(samples.back()));
}

TEST(ToneSynthesis, EdgesAndAnEarlyEndCarryNoClick) {
    const int rate = 8000;
    // Tones of odd lengths back to back, a pause between, and a tone too short for full fades.
    ToneSynthesizer whole({{1000, 33}, {1500, 21}, {0, 10}, {1000, 1}}, rate);
    EXPECT_EQ(whole.totalSamples(), 65 * rate / 1000);
    std::vector<std::int16_t> samples(1000, 1);
    samples.resize(whole.render(samples));
    ASSERT_EQ(samples.size(), 520u);
    EXPECT_LE(largestStep(samples), sineSlope(1500, rate, ToneSynthesizer::defaultAmplitude));
    EXPECT_TRUE(whole.finished());

    // Stopped in the middle of a tone: it fades out within 5 ms instead of breaking off.
    ToneSynthesizer cut({{1000, 1000}}, rate);
    std::vector<std::int16_t> first(403); // the last one at a crest of the sine
    cut.render(first);
    cut.fadeOut();
    EXPECT_EQ(cut.totalSamples(), 403 + 40);
    std::vector<std::int16_t> rest(100);
    rest.resize(cut.render(rest));
    EXPECT_EQ(rest.size(), 40u);
    first.insert(first.end(), rest.begin(), rest.end());
    EXPECT_LE(largestStep(first), sineSlope(1000, rate, ToneSynthesizer::defaultAmplitude));
    EXPECT_TRUE(cut.finished());
}

} // namespace
