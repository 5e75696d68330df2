// Settings files and key=value arguments of the command line.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/form/settings_text.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto assignments = parseSettingsFile(content, error);
    if (!assignments) {
        // A refused file says why, on one line.
        check(!error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    TimerSettings settings;
    if (applySettings(*assignments, settings)) return 0;
    // Accepted values print and are taken back as the same settings, and print the same.
    const std::string printed = formatSettingsText(settings);
    const auto printedAssignments = parseSettingsFile(printed, error);
    check(printedAssignments.has_value());
    TimerSettings again;
    check(!applySettings(*printedAssignments, again));
    check(again == settings);
    check(formatSettingsText(again) == printed);
    return 0;
}
