// tavofox-emulator: a software fox timer on a pseudo-terminal, offered as a port number.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <pthread.h>

#include <CLI/CLI.hpp>

#include "cli/usage_voice.h"
#include "core/decimal.h"
#include "core/link/port_names.h"
#include "emulator/pty_runner.h"
#include "emulator/timer_emulator.h"

namespace {

constexpr const char* programName = "tavofox-emulator";
constexpr int usageExit = 2;
constexpr int failureExit = 1;
constexpr int largestVersionPart = 15;
constexpr double largestOscillatorError = 50.0;
constexpr const char* samplesSuffix = ".samples";

constexpr const char* description =
    "Offers a software fox timer as port COM<N> of the per-user port directory until\n"
    "interrupted (SIGINT or SIGTERM).";
constexpr const char* faultKinds = "KIND of --fault is one of:\n"
                                   "  silent        answers nothing at all\n"
                                   "  wake-gt       answers the wake with > instead of !\n"
                                   "  stray         two stray bytes before every reply\n"
                                   "  noisy         the line never falls silent; never an echo\n"
                                   "  bad-checksum  every upload checksum is off by one\n"
                                   "  no-hash@K     no # from data byte K of every write block on\n"
                                   "  wrong-hash@K  a wrong byte for # from data byte K on\n"
                                   "  mute@K        silent after receiving K bytes\n"
                                   "  drop@K        the line drops after receiving K bytes\n"
                                   "  flip@A        parameter cell A (0..255) stores every byte\n"
                                   "                written to it with its lowest bit turned\n";

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

// MAJOR.MINOR, each part 0..15.
bool parseFirmware(const std::string& text, Options& options) {
    const auto dot = text.find('.');
    if (dot == std::string::npos) return false;
    const auto major = parseNumber(text.substr(0, dot), 0, largestVersionPart);
    const auto minor = parseNumber(text.substr(dot + 1), 0, largestVersionPart);
    if (!major || !minor) return false;
    options.firmwareMajor = *major;
    options.firmwareMinor = *minor;
    return true;
}

// A check in the emulator's own words: problem when text fails accepted.
CLI::Validator check(std::function<bool(const std::string&)> accepted, const std::string& problem) {
    return CLI::Validator(
        [accepted = std::move(accepted), problem](std::string& text) {
            if (accepted(text)) return std::string();
            return text.empty() ? problem : problem + ", not " + text;
        },
        "");
}

// Fills options from the arguments; an exit code when the program is to end at once.
std::optional<int> parseArguments(int argc, char** argv, Options& options) {
    CLI::App app(description, programName);
    app.footer(faultKinds);
    std::string model = "684";
    std::vector<std::string> faults;
    std::string port;
    app.add_option("--port", port, "port number to offer: N or COM<N>, N 1 or more")
        ->type_name("N")
        ->required()
        ->check(check(
            [](const std::string& text) {
                std::string problem;
                const std::optional<PortChoice> choice = parsePortChoice(text, problem);
                return choice && choice->number > 0;
            },
            "takes a number of 1 or more"));
    app.add_option("--model", model, "processor model (default 684)")
        ->type_name("684|628A")
        ->check(CLI::IsMember({"684", "628A"}));
    app.add_option("--memory", options.memoryKiB, "external sample memory in KiB (default 64)")
        ->type_name("0|32|64|128")
        ->check(CLI::IsMember({0, 32, 64, 128}));
    app.add_option_function<std::string>(
           "--firmware", [&options](const std::string& text) { parseFirmware(text, options); },
           "firmware version, each part 0..15 (default 2.1)")
        ->type_name("MAJOR.MINOR")
        ->check(check(
            [](const std::string& text) {
                Options trial;
                return parseFirmware(text, trial);
            },
            "takes MAJOR.MINOR, each 0..15"));
    app.add_option("--eeprom", options.eepromPath,
                   "keeps the parameter memory (256 bytes) in FILE between runs,\n"
                   "and the external sample memory in FILE.samples")
        ->type_name("FILE")
        ->check(check([](const std::string& text) { return !text.empty(); }, "needs a file name"));
    app.add_option("--received", options.receivedPath,
                   "writes every byte received, as it came, to FILE when it ends")
        ->type_name("FILE")
        ->check(check([](const std::string& text) { return !text.empty(); }, "needs a file name"));
    app.add_flag("--paced", options.paced, "carries every byte, both ways, at the pace of a 19200-baud line");
    app.add_option("--oscillator-error", options.oscillatorErrorPercent,
                   "factory error of the internal oscillator in percent\n"
                   "(default +3.0); while tuning, each trim received prints the\n"
                   "frequency a counter on the LED pin would show (the emulator's\n"
                   "own model: 250 kHz nominal, 0.75 % a trim step)")
        ->type_name("PERCENT")
        ->check(CLI::Range(-largestOscillatorError, largestOscillatorError));
    app.add_option("--fault", faults, "misbehaves as a faulty timer or line; repeatable")
        ->type_name("KIND")
        ->allow_extra_args(false)
        ->check(check(
            [](const std::string& kind) {
                EmulatorFaults trial;
                return addFault(kind, trial);
            },
            "takes a kind listed in --help"));
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "%s\n", usageRefusal(programName, app, e).c_str());
        return usageExit;
    }
    std::string problem;
    options.port = parsePortChoice(port, problem)->number;
    if (model == "628A") options.model = TimerEmulator::Model::Pic628A;
    for (const std::string& kind : faults)
        addFault(kind, options.faults);
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
