// The configuration image is whatever the timer sends back.
#include <algorithm>
#include <cstdint>

#include "core/formats/config_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ConfigImage image;
    std::copy_n(data, std::min(size, image.bytes.size()), image.bytes.begin());
    for (int clockHz : {8000000, 10000000}) {
        TimerSettings settings;
        image.decode(settings, clockHz);
        if (settings.cwText.size() > 31) __builtin_trap();
        const ConfigBlock block = encodeConfigBlock(settings, clockHz);
        if (block[12] != 0) __builtin_trap();
    }
    return 0;
}
