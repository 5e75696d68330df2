#include "core/formats/unit_conversions.h"

#include <cmath>
#include <cstdint>

namespace {

// The timer's frequency unit divides by 65356, not 65536: the firmware's own constant,
// which every stored timer relies on.
constexpr double frequencyDivisor = 65356.0;
constexpr double prescaler = 1024.0;

// Floor of x + 0.5, then cut to 32 bits the way a wider integer is cut to a narrower
// one. The cut keeps the low bits of the true value, which is what the 16-bit fields
// need when an out-of-range number was typed; a value beyond any integer saturates
// instead of being undefined.
int roundHalfUp(double x) {
    const double r = std::floor(x + 0.5);
    constexpr double limit = 9.0e18;
    std::int64_t wide = 0;
    if (r > limit)
        wide = static_cast<std::int64_t>(limit);
    else if (r < -limit)
        wide = -static_cast<std::int64_t>(limit);
    else if (!std::isnan(r))
        wide = static_cast<std::int64_t>(r);
    return static_cast<int>(static_cast<std::uint32_t>(wide));
}

double unitHz(int clockHz) {
    return clockHz / prescaler * (1 / frequencyDivisor);
}

} // namespace

int hzToUnits(int hz, int clockHz) {
    // Only a clock from the identify reply comes here; a unit of no size has no count.
    if (clockHz == 0) return 0;
    return roundHalfUp(hz / unitHz(clockHz));
}

int unitsToHz(int units, int clockHz) {
    return roundHalfUp(clockHz / prescaler * units * (1 / frequencyDivisor));
}

int wpmToDotMs(int wpm) {
    // No speed has no dot length; 0 is also what a dot byte without speed reads as.
    if (wpm == 0) return 0;
    return roundHalfUp(60.0 / (wpm * 50.0) * 1000);
}

int dotMsToWpm(int dotMs) {
    // A dot of no length has no speed; the caller keeps the speed it had.
    if (dotMs == 0) return 0;
    return roundHalfUp(60.0 / (dotMs * 0.001) * 0.02);
}
