#pragma once
// The console's text on Windows. The program writes UTF-8; the C runtime's text mode hands a
// console each byte as a character of its own locale ("GRÃSSE" for "GRÜSSE"), before the
// console's code page could read it as UTF-8. While a ConsoleText lives, what std::cout and
// std::cerr write to a console goes to it as UTF-16 (WriteConsoleW), whatever its code page;
// written to a file or a pipe, the bytes stay as they are. Elsewhere it does nothing.

#include <memory>

class ConsoleText {
public:
    ConsoleText();
    ~ConsoleText();
    ConsoleText(const ConsoleText&) = delete;
    ConsoleText& operator=(const ConsoleText&) = delete;

private:
    struct Streams;
    std::unique_ptr<Streams> streams_;
};
