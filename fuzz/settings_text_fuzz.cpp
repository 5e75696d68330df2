// Settings files and key=value arguments of the command line.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/form/settings_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (auto assignments = parseSettingsFile(content, error)) {
        TimerSettings settings;
        if (!applySettings(*assignments, settings)) {
            // Accepted values print and parse back to the same settings.
            TimerSettings again;
            auto printed = parseSettingsFile(formatSettingsText(settings), error);
            if (!printed || applySettings(*printed, again)) __builtin_trap();
        }
    }
    return 0;
}
