#include "core/link/port_names.h"

#include <algorithm>
#include <cctype>

#include "core/decimal.h"

namespace {
constexpr std::string_view namePrefix = "COM";
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
