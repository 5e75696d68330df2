#pragma once
// A record of every byte on the timer's line, for an operator who sends in a trace of a
// misbehaving timer: one line a byte, with the milliseconds since the trace started, the
// direction ("out" to the timer, "in" from it), the byte in hex and, where printable, as a
// character:
//     3204 out 21 !
//     3209 in  21 !

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <span>

class LineObserver {
public:
    virtual ~LineObserver() = default;
    virtual void sent(std::span<const std::uint8_t> bytes) = 0;
    virtual void received(std::span<const std::uint8_t> bytes) = 0;
};

class LineTrace : public LineObserver {
public:
    explicit LineTrace(std::ostream& out);
    void sent(std::span<const std::uint8_t> bytes) override;
    void received(std::span<const std::uint8_t> bytes) override;

private:
    void write(const char* direction, std::span<const std::uint8_t> bytes);

    std::ostream& out_;
    std::chrono::steady_clock::time_point start_;
};
