#include "core/link/port_names.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "core/decimal.h"

namespace {
constexpr std::string_view namePrefix = "COM";
constexpr std::string_view windowsDevicePrefix = "\\\\.\\";
} // namespace

std::string portName(unsigned n) {
    return std::string(namePrefix) + std::to_string(n);
}

int comPortNumber(std::string_view name) {
    if (name.size() <= namePrefix.size()) return 0;
    for (std::size_t i = 0; i < namePrefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != namePrefix[i]) return 0;
    return parseDigits(name.substr(namePrefix.size())).value_or(0);
}

std::vector<unsigned> comPortNumbers(const std::vector<std::string>& names) {
    std::vector<unsigned> numbers;
    for (const std::string& name : names)
        if (const int number = comPortNumber(name); number > 0)
            numbers.push_back(static_cast<unsigned>(number));
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

std::optional<PortChoice> parsePortChoice(std::string_view text, std::string& problem) {
    if (const int number = comPortNumber(text); number > 0) return PortChoice{number, {}};
    if (const std::optional<int> number = parseDigits(text); number && *number >= 1)
        return PortChoice{*number, {}};
    if (text.find_first_of("/\\") == std::string_view::npos) {
        problem = "takes a port number, COM<N> or a device path, not " + std::string(text);
        return std::nullopt;
    }
    if (text.starts_with(windowsDevicePrefix)) return PortChoice{0, std::string(text)};
    // The name is UTF-8 on every system; POSIX takes its bytes as they are.
    const std::filesystem::path path(std::u8string(text.begin(), text.end()));
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        problem = "no such device: " + std::string(text);
        return std::nullopt;
    }
    if (std::filesystem::is_regular_file(status) || std::filesystem::is_directory(status)) {
        problem = std::string(text) + " is a " +
                  (std::filesystem::is_directory(status) ? "folder" : "regular file") +
                  ", not a serial device";
        return std::nullopt;
    }
    return PortChoice{0, std::string(text)};
}
