// tavofox-emulator: a software fox timer on a pseudo-terminal, offered as a port number.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <pthread.h>

#include "core/decimal.h"
#include "emulator/pty_runner.h"
#include "emulator/timer_emulator.h"

namespace {

constexpr int usageExit = 2;
constexpr int failureExit = 1;
constexpr int largestVersionPart = 15;
constexpr double largestOscillatorError = 50.0;
constexpr const char* samplesSuffix = ".samples";

constexpr const char* usageText =
    "usage: tavofox-emulator --port N [--model 684|628A] [--memory 0|32|64|128]\n"
    "                        [--firmware MAJOR.MINOR] [--eeprom FILE] [--paced]\n"
    "                        [--oscillator-error PERCENT] [--fault KIND ...]\n"
    "                        [--received FILE]\n"
    "Offers a software fox timer as port COM<N> of the per-user port directory until\n"
    "interrupted (SIGINT or SIGTERM).\n"
    "  --port N              port number to offer, 1 or more\n"
    "  --model 684|628A      processor model (default 684)\n"
    "  --memory 0|32|64|128  external sample memory in KiB (default 64)\n"
    "  --firmware M.N        firmware version, each part 0..15 (default 2.1)\n"
    "  --eeprom FILE         keeps the parameter memory (256 bytes) in FILE between runs,\n"
    "                        and the external sample memory in FILE.samples\n"
    "  --received FILE       writes every byte received, as it came, to FILE when it ends\n"
    "  --paced               carries every byte, both ways, at the pace of a 19200-baud line\n"
    "  --oscillator-error P  factory error of the internal oscillator in percent, -50..50\n"
    "                        (default +3.0); while tuning, each trim received prints the\n"
    "                        frequency a counter on the LED pin would show (the emulator's\n"
    "                        own model: 250 kHz nominal, 0.75 % a trim step)\n"
    "  --fault KIND          misbehaves as a faulty timer or line; repeatable. KIND is one of:\n"
    "                          silent        answers nothing at all\n"
    "                          wake-gt       answers the wake with > instead of !\n"
    "                          stray         two stray bytes before every reply\n"
    "                          noisy         the line never falls silent; never an echo\n"
    "                          bad-checksum  every upload checksum is off by one\n"
    "                          no-hash@K     no # from data byte K of every write block on\n"
    "                          wrong-hash@K  a wrong byte for # from data byte K on\n"
    "                          mute@K        silent after receiving K bytes\n"
    "                          drop@K        the line drops after receiving K bytes\n"
    "                          flip@A        parameter cell A (0..255) stores every byte\n"
    "                                        written to it with its lowest bit turned\n";

struct Options {
    int port = 0;
    TimerEmulator::Model model = TimerEmulator::Model::Pic684;
    int memoryKiB = 64;
    int firmwareMajor = 2;
    int firmwareMinor = 1;
    std::string eepromPath;
    std::string receivedPath;
    bool paced = false;
    double oscillatorErrorPercent = 3.0;
    EmulatorFaults faults;
};

std::optional<double> parsePercent(const std::string& text) {
    if (text.empty() || text.size() > 12 || text.find_first_not_of("+-.0123456789") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() ||
        !(value >= -largestOscillatorError && value <= largestOscillatorError))
        return std::nullopt;
    return value;
}

std::optional<int> parseNumber(const std::string& text, int smallest, int largest) {
    const std::optional<int> value = parseDigits(text);
    if (!value || *value < smallest || *value > largest) return std::nullopt;
    return value;
}

constexpr int strayBytesPerReply = 2;
constexpr int largestFaultCount = 1 << 24;
constexpr int largestCell = 255;

// Sets the fault that kind names; false for a kind unknown or a count out of range.
bool addFault(const std::string& kind, EmulatorFaults& faults) {
    if (kind == "silent")
        faults.silent = true;
    else if (kind == "wake-gt")
        faults.wakeAnswersGreater = true;
    else if (kind == "stray")
        faults.strayBytesBeforeEcho = strayBytesPerReply;
    else if (kind == "noisy")
        faults.garbageStream = true;
    else if (kind == "bad-checksum")
        faults.wrongChecksum = true;
    else {
        const auto at = kind.find('@');
        if (at == std::string::npos) return false;
        const std::string name = kind.substr(0, at);
        const auto count =
            parseNumber(kind.substr(at + 1), 0, name == "flip" ? largestCell : largestFaultCount);
        if (!count) return false;
        if (name == "no-hash" || name == "wrong-hash") {
            faults.hashFaultAfterByte = *count;
            faults.hashMissing = name == "no-hash";
        } else if (name == "mute") {
            faults.silentAfterBytes = *count;
        } else if (name == "drop") {
            faults.dropLineAfterBytes = *count;
        } else if (name == "flip") {
            faults.flipStoredAddress = *count;
        } else {
            return false;
        }
    }
    return true;
}

int usageError(const std::string& problem) {
    std::fprintf(stderr, "tavofox-emulator: %s\n%s", problem.c_str(), usageText);
    return usageExit;
}

// Fills options from the arguments; an exit code when the program is to end at once.
std::optional<int> parseArguments(int argc, char** argv, Options& options) {
    bool portGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(usageText, stdout);
            return 0;
        }
        if (option == "--paced") {
            options.paced = true;
            continue;
        }
        if (option != "--port" && option != "--model" && option != "--memory" && option != "--firmware" &&
            option != "--eeprom" && option != "--oscillator-error" && option != "--fault" &&
            option != "--received")
            return usageError("unknown option " + option);
        if (i + 1 >= argc) return usageError(option + " needs a value");
        const std::string value = argv[++i];
        if (option == "--port") {
            const auto port = parseNumber(value, 1, 999999999);
            if (!port) return usageError("--port takes a number of 1 or more, not " + value);
            options.port = *port;
            portGiven = true;
        } else if (option == "--model") {
            if (value == "684")
                options.model = TimerEmulator::Model::Pic684;
            else if (value == "628A")
                options.model = TimerEmulator::Model::Pic628A;
            else
                return usageError("--model takes 684 or 628A, not " + value);
        } else if (option == "--memory") {
            const auto kib = parseNumber(value, 0, 128);
            if (!kib || (*kib != 0 && *kib != 32 && *kib != 64 && *kib != 128))
                return usageError("--memory takes 0, 32, 64 or 128, not " + value);
            options.memoryKiB = *kib;
        } else if (option == "--firmware") {
            const auto dot = value.find('.');
            const auto major = dot == std::string::npos
                                   ? std::nullopt
                                   : parseNumber(value.substr(0, dot), 0, largestVersionPart);
            const auto minor = dot == std::string::npos
                                   ? std::nullopt
                                   : parseNumber(value.substr(dot + 1), 0, largestVersionPart);
            if (!major || !minor) return usageError("--firmware takes MAJOR.MINOR, each 0..15, not " + value);
            options.firmwareMajor = *major;
            options.firmwareMinor = *minor;
        } else if (option == "--fault") {
            if (!addFault(value, options.faults))
                return usageError("--fault takes a kind listed below, not " + value);
        } else if (option == "--oscillator-error") {
            const auto percent = parsePercent(value);
            if (!percent) return usageError("--oscillator-error takes a percentage -50..50, not " + value);
            options.oscillatorErrorPercent = *percent;
        } else if (option == "--received") {
            if (value.empty()) return usageError("--received needs a file name");
            options.receivedPath = value;
        } else {
            if (value.empty()) return usageError("--eeprom needs a file name");
            options.eepromPath = value;
        }
    }
    if (!portGiven) return usageError("--port is required");
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const auto exitCode = parseArguments(argc, argv, options)) return *exitCode;

    TimerEmulator emulator(options.model, options.memoryKiB, options.firmwareMajor, options.firmwareMinor);
    emulator.setOscillatorError(options.oscillatorErrorPercent);
    emulator.faults() = options.faults;
    emulator.setTrimObserver([](int trim, double ledHz) {
        std::printf("tavofox-emulator: trim %+d: LED pin at %.0f Hz\n", trim, ledHz);
        std::fflush(stdout);
    });
    std::error_code error;
    if (!options.eepromPath.empty() && std::filesystem::exists(options.eepromPath, error) &&
        !emulator.loadParameterMemory(options.eepromPath)) {
        // Refused rather than overwritten at the end: the file may be something else entirely.
        std::fprintf(stderr, "tavofox-emulator: %s is not a 256-byte parameter memory\n",
                     options.eepromPath.c_str());
        return failureExit;
    }
    const std::string samplesPath =
        options.eepromPath.empty() ? std::string() : options.eepromPath + samplesSuffix;
    const bool keepsSamples = !samplesPath.empty() && !emulator.externalMemory().empty();
    if (keepsSamples && std::filesystem::exists(samplesPath, error) &&
        !emulator.loadExternalMemory(samplesPath)) {
        // A memory of another size, or another file: kept as it is rather than overwritten.
        std::fprintf(stderr, "tavofox-emulator: %s is not a sample memory of %d KiB\n", samplesPath.c_str(),
                     options.memoryKiB);
        return failureExit;
    }

    // The signals are taken by sigwait below; blocked before the serving thread starts, so that
    // it inherits the mask and never takes them itself.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    int exitCode = 0;
    try {
        PtyRunner runner(emulator, options.port, options.paced);
        runner.start();
        std::printf("tavofox-emulator: COM%d on %s\n", options.port, runner.devicePath().c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&endSignals, &received);
        runner.stop();
    } catch (const std::runtime_error& failure) {
        std::fprintf(stderr, "tavofox-emulator: %s\n", failure.what());
        return failureExit;
    }

    if (!options.eepromPath.empty() && !emulator.saveParameterMemory(options.eepromPath)) {
        std::fprintf(stderr, "tavofox-emulator: cannot save the parameter memory to %s\n",
                     options.eepromPath.c_str());
        exitCode = failureExit;
    }
    if (!options.receivedPath.empty()) {
        const std::vector<std::uint8_t>& received = emulator.counters().received;
        std::ofstream file(options.receivedPath, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(received.data()),
                   static_cast<std::streamsize>(received.size()));
        if (!file.flush()) {
            std::fprintf(stderr, "tavofox-emulator: cannot write the bytes received to %s\n",
                         options.receivedPath.c_str());
            exitCode = failureExit;
        }
    }
    if (keepsSamples && !emulator.saveExternalMemory(samplesPath)) {
        std::fprintf(stderr, "tavofox-emulator: cannot save the sample memory to %s\n", samplesPath.c_str());
        exitCode = failureExit;
    }
    return exitCode;
}
