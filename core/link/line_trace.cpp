#include "core/link/line_trace.h"

#include <cstdio>
#include <ostream>

LineTrace::LineTrace(std::ostream& out) : out_(out), start_(std::chrono::steady_clock::now()) {}

void LineTrace::sent(std::span<const std::uint8_t> bytes) {
    write("out", bytes);
}

void LineTrace::received(std::span<const std::uint8_t> bytes) {
    write("in ", bytes);
}

void LineTrace::write(const char* direction, std::span<const std::uint8_t> bytes) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
            .count();
    for (std::uint8_t b : bytes) {
        char line[32];
        std::snprintf(line, sizeof line, "%8lld %s %02X", static_cast<long long>(ms), direction, b);
        out_ << line;
        if (b > ' ' && b < 0x7F) out_ << ' ' << static_cast<char>(b);
        out_ << '\n';
    }
    out_.flush();
}
