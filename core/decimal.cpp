#include "core/decimal.h"

#include <charconv>
#include <climits>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// An optional sign and the digits after it, from the start of text. std::from_chars takes a
// minus sign but no plus sign, so the plus is passed over here; a sign with no digit after
// it is no number.
std::from_chars_result readSigned(std::string_view text, int& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    const char* digits = first;
    if (digits != last && (*digits == '+' || *digits == '-')) ++digits;
    if (digits == last || !isDigit(*digits)) return {first, std::errc::invalid_argument};
    return std::from_chars(*first == '+' ? digits : first, last, value);
}

} // namespace

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::optional<int> parseDigits(std::string_view text) {
    if (text.empty() || !isDigit(text.front())) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int> parseInteger(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    int value = 0;
    const auto [end, ec] = readSigned(text, value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

int leadingInteger(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = readSigned(text, value);
    if (ec == std::errc::invalid_argument) return 0;
    if (ec == std::errc::result_out_of_range) return text.front() == '-' ? INT_MIN : INT_MAX;
    return value;
}
