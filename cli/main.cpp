#include <chrono>
#include <iostream>
#include <thread>

#include "cli/commands.h"
#include "cli/console_text.h"

int main(int argc, char** argv) {
    const ConsoleText console;
    const std::vector<std::string> args(argv + 1, argv + argc);
    return runTavofoxctl(args, std::cout, std::cerr,
                         [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
}
