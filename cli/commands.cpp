#include "cli/commands.h"

#include <algorithm>
#include <array>
#include <exception>
#include <fstream>
#include <iostream>
#include <ostream>

#include "cli/ringtone_commands.h"
#include "cli/sound_commands.h"
#include "cli/transmit_commands.h"
#include "core/decimal.h"
#include "core/form/settings_text.h"
#include "core/formats/utf8_path.h"
#include "core/link/line_trace.h"
#include "core/link/port_numbers.h"
#include "core/link/serial_port.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/timer_settings.h"

namespace {

constexpr const char* usageText =
    "usage: tavofoxctl ports\n"
    "       tavofoxctl [--trace FILE] --port N identify | reset | test-mode | read\n"
    "       tavofoxctl [--trace FILE] --port N write [--verify] [--from FILE] [key=value ...]\n"
    "       tavofoxctl [--trace FILE] --port N tone-sequence TEXT [--verify]\n"
    "       tavofoxctl [--trace FILE] --port N transmit-sequence SECONDS:KIND ... [--verify]\n"
    "       tavofoxctl [--trace FILE] --port N tune [--write [--verify]]\n"
    "       tavofoxctl [--trace FILE] --port N ringtone send FILE [--bpm B] [--no-staccato] [--verify]\n"
    "       tavofoxctl ringtone encode FILE\n"
    "       tavofoxctl ringtone wav FILE OUT.wav [--rate HZ]\n"
    "       tavofoxctl [--trace FILE] --port N sound FILE\n"
    "       tavofoxctl sound check FILE [--clock 8000000|10000000] [--memory KIB]\n"
    "  --trace FILE  writes every byte sent to and received from the timer to FILE, one a\n"
    "                line: milliseconds since the start, out or in, the byte in hex and,\n"
    "                where printable, as a character\n"
    "  --verify      reads the configuration back after the command wrote it and compares\n"
    "                every block written within its first 128 bytes; a difference ends with\n"
    "                \"verify failed: configuration block at A, byte B: wrote XX, read YY\"\n"
    "                (B the address in the parameter memory) and exit status 1. The\n"
    "                ringtone block lies beyond the 128 bytes the timer sends back and\n"
    "                cannot be verified.\n";
constexpr const char* noIdentity = "The timer did not identify itself";
constexpr const char* cannotRead = "cannot read ";
constexpr const char* unexpectedFailure = "unexpected failure";
constexpr const char* verifyOption = "--verify";
constexpr const char* verifyNeedsWrite = "--verify only with a command that writes the parameter memory";
constexpr const char* verified = "verified: every block written reads back alike";
constexpr const char* cannotTrace = "cannot write the trace to ";
// A settings file is a page of text: anything that cannot be read whole within this (a
// folder, a device that never ends, a read error) is refused before the timer is woken.
constexpr std::size_t settingsFileLimit = std::size_t{1} << 20;

struct UsageError {
    std::string message;
};

int usage(std::ostream& err, const std::string& message) {
    if (!message.empty()) err << programPrefix << message << '\n';
    err << usageText;
    return ExitStatus::usage;
}

int listPorts(std::ostream& out) {
    std::vector<unsigned> ports;
    enumerateSerialPorts(ports);
    for (unsigned n : ports)
        out << portName(n) << '\t' << portDevicePath(static_cast<int>(n)) << '\n';
    return ExitStatus::ok;
}

std::string readSettingsFile(const std::string& path) {
    std::ifstream file(utf8Path(path), std::ios::binary);
    if (!file) throw UsageError{cannotRead + path};
    std::string content;
    std::array<char, 65536> buffer;
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        content.append(buffer.data(), static_cast<std::size_t>(file.gcount()));
        if (content.size() > settingsFileLimit) throw UsageError{path + ": larger than 1 MiB"};
    }
    if (file.bad()) throw UsageError{cannotRead + path};
    return content;
}

// One timer on one port, reached as the window's Connect reaches it.
class TimerCommandLine {
public:
    TimerCommandLine(int port, std::istream& in, std::ostream& out, std::ostream& err,
                     const ConsolePanel::Sleeper& sleeper, LineObserver* trace)
        : in_(in), out_(out), err_(err), panel_(port, err, sleeper),
          session_(panel_, panel_, settings_), operation_{session_, panel_, panel_, settings_} {
        session_.setLineObserver(trace);
    }

    // The command, and with --verify among its arguments the read-back after it.
    int run(const std::string& command, std::vector<std::string> rest);

private:
    int runCommand(const std::string& command, const std::vector<std::string>& rest);
    bool connect();
    // Reads the configuration; the start of every command that writes, so that nothing
    // the user did not name changes.
    bool read() { return readConfiguration(operation_); }
    int write(const std::vector<std::string>& rest);
    int toneSequence(const std::string& text);
    bool checked(const std::vector<SettingsAssignment>& assignments);

    TimerCommandParts parts();

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    TimerSettings settings_;
    ConsolePanel panel_;
    TimerSession session_;
    OperationContext operation_;
};

bool TimerCommandLine::connect() {
    if (!session_.wakeTimer()) return false;
    if (!session_.identifyTimer()) {
        panel_.showMessage(noIdentity, MessageIcon::Warning);
        return false;
    }
    return true;
}

bool TimerCommandLine::checked(const std::vector<SettingsAssignment>& assignments) {
    if (auto failure = applySettings(assignments, settings_)) {
        panel_.showMessage(*failure, MessageIcon::Warning);
        return false;
    }
    return true;
}

int TimerCommandLine::write(const std::vector<std::string>& rest) {
    std::vector<SettingsAssignment> assignments;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        std::string error;
        if (rest[i] == "--from") {
            if (i + 1 >= rest.size()) throw UsageError{"--from needs a file"};
            const std::string content = readSettingsFile(rest[++i]);
            auto lines = parseSettingsFile(content, error);
            if (!lines) throw UsageError{rest[i] + ": " + error};
            assignments.insert(assignments.end(), lines->begin(), lines->end());
        } else if (auto assignment = parseAssignment(rest[i], error)) {
            assignments.push_back(std::move(*assignment));
        } else {
            throw UsageError{error};
        }
    }
    if (!connect() || !read() || !checked(assignments) || !writeSequenceTables(operation_, assignments))
        return ExitStatus::failed;
    return writeConfiguration(operation_) ? ExitStatus::ok : ExitStatus::failed;
}

int TimerCommandLine::toneSequence(const std::string& text) {
    if (!connect() || !read() || !checked({})) return ExitStatus::failed;
    panel_.answerToneSequence(text);
    return editToneSequence(operation_) == Outcome::done ? ExitStatus::ok : ExitStatus::failed;
}

TimerCommandParts TimerCommandLine::parts() {
    return {operation_,
            panel_,
            in_,
            out_,
            err_,
            [this] { return connect(); },
            [this] { return read(); },
            [this](const std::string& problem) { return usage(err_, problem); }};
}

int TimerCommandLine::run(const std::string& command, std::vector<std::string> rest) {
    const auto given = std::find(rest.begin(), rest.end(), verifyOption);
    const bool verify = given != rest.end();
    if (verify) {
        rest.erase(given);
        const bool writes = command == "write" || command == "tone-sequence" ||
                            command == "transmit-sequence" ||
                            (command == "tune" && rest == std::vector<std::string>{"--write"}) ||
                            (command == "ringtone" && !rest.empty() && rest[0] == "send");
        if (!writes) throw UsageError{verifyNeedsWrite};
    }
    const int status = runCommand(command, rest);
    if (!verify || status != ExitStatus::ok) return status;
    if (const auto difference = verifyWrittenBlocks(session_, session_.writtenBlocks())) {
        err_ << *difference << '\n';
        return ExitStatus::failed;
    }
    err_ << verified << '\n';
    return ExitStatus::ok;
}

int TimerCommandLine::runCommand(const std::string& command, const std::vector<std::string>& rest) {
    const bool noArguments = rest.empty();
    if (command == "identify" && noArguments) {
        if (!connect()) return ExitStatus::failed;
        out_ << panel_.identity() << '\n';
        return ExitStatus::ok;
    }
    if (command == "reset" && noArguments) {
        if (!connect()) return ExitStatus::failed;
        session_.resetTimer();
        return ExitStatus::ok;
    }
    if (command == "test-mode" && noArguments) {
        if (!connect()) return ExitStatus::failed;
        return session_.startTestMode() ? ExitStatus::ok : ExitStatus::failed;
    }
    if (command == "read" && noArguments) {
        if (!connect() || !read()) return ExitStatus::failed;
        out_ << formatSettingsText(settings_);
        return ExitStatus::ok;
    }
    if (command == "write") return write(rest);
    if (command == "tone-sequence" && rest.size() == 1) return toneSequence(rest[0]);
    if (command == "transmit-sequence") {
        TimerCommandParts timer = parts();
        return runTransmitSequence(timer, rest);
    }
    if (command == "tune") {
        TimerCommandParts timer = parts();
        return runTune(timer, rest);
    }
    if (command == "ringtone") {
        TimerCommandParts timer = parts();
        return sendRingtone(timer, rest);
    }
    if (command == "sound" && rest.size() == 1)
        return connect() ? uploadSound(operation_, panel_, rest[0]) : ExitStatus::failed;
    throw UsageError{"unknown command or wrong arguments: " + command};
}

} // namespace

int runTavofoxctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const ConsolePanel::Sleeper& sleeper) {
    return runTavofoxctl(args, std::cin, out, err, sleeper);
}

int runTavofoxctl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                  std::ostream& err, const ConsolePanel::Sleeper& sleeper) {
    try {
        if (args.empty()) throw UsageError{""};
        if (args[0] == "--help" || args[0] == "-h") {
            out << usageText;
            return ExitStatus::ok;
        }
        if (args[0] == "ports") {
            if (args.size() != 1) throw UsageError{"ports takes no arguments"};
            return listPorts(out);
        }
        if (args[0] == "ringtone")
            return runRingtoneCommand({args.begin() + 1, args.end()}, out, err,
                                      [&err](const std::string& problem) { return usage(err, problem); });
        if (args[0] == "sound") {
            std::string problem;
            const int status = checkSound({args.begin() + 1, args.end()}, out, err, problem);
            if (!problem.empty()) throw UsageError{problem};
            return status;
        }
        std::size_t first = 0;
        std::ofstream traceFile;
        std::optional<LineTrace> trace;
        if (args[0] == "--trace") {
            if (args.size() < 2) throw UsageError{"--trace needs a file"};
            traceFile.open(utf8Path(args[1]), std::ios::binary | std::ios::trunc);
            if (!traceFile) {
                err << programPrefix << cannotTrace << args[1] << '\n';
                return ExitStatus::failed;
            }
            trace.emplace(traceFile);
            first = 2;
        }
        if (args.size() < first + 3 || args[first] != "--port") throw UsageError{""};
        const std::optional<int> port = parseDigits(args[first + 1]);
        if (!port || *port < 1) throw UsageError{"--port needs a port number: " + args[first + 1]};
        TimerCommandLine timer(*port, in, out, err, sleeper, trace ? &*trace : nullptr);
        return timer.run(args[first + 2],
                         {args.begin() + static_cast<std::ptrdiff_t>(first) + 3, args.end()});
    } catch (const UsageError& e) {
        return usage(err, e.message);
    } catch (const CSerialException& e) {
        err << e.message() << '\n';
        return ExitStatus::failed;
    } catch (const std::exception& e) {
        err << programPrefix << e.what() << '\n';
        return ExitStatus::failed;
    } catch (...) {
        err << programPrefix << unexpectedFailure << '\n';
        return ExitStatus::failed;
    }
}
