#include "cli/commands.h"

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
#include "core/link/port_numbers.h"
#include "core/link/serial_port.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/timer_settings.h"

namespace {

constexpr const char* usageText =
    "usage: tavofoxctl ports\n"
    "       tavofoxctl --port N identify | reset | test-mode | read\n"
    "       tavofoxctl --port N write [--from FILE] [key=value ...]\n"
    "       tavofoxctl --port N tone-sequence TEXT\n"
    "       tavofoxctl --port N transmit-sequence SECONDS:KIND ...\n"
    "       tavofoxctl --port N tune [--write]\n"
    "       tavofoxctl --port N ringtone send FILE [--bpm B] [--no-staccato]\n"
    "       tavofoxctl ringtone encode FILE\n"
    "       tavofoxctl ringtone wav FILE OUT.wav [--rate HZ]\n"
    "       tavofoxctl --port N sound FILE\n"
    "       tavofoxctl sound check FILE [--clock 8000000|10000000] [--memory KIB]\n";
constexpr const char* noIdentity = "The timer did not identify itself";
constexpr const char* cannotRead = "cannot read ";
constexpr const char* unexpectedFailure = "unexpected failure";
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
    std::ifstream file(path, std::ios::binary);
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
                     const ConsolePanel::Sleeper& sleeper)
        : in_(in), out_(out), err_(err), panel_(port, err, sleeper),
          session_(panel_, panel_, settings_), operation_{session_, panel_, panel_, settings_} {}

    int run(const std::string& command, const std::vector<std::string>& rest);

private:
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

int TimerCommandLine::run(const std::string& command, const std::vector<std::string>& rest) {
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
        if (args[0] != "--port" || args.size() < 3) throw UsageError{""};
        const std::optional<int> port = parseDigits(args[1]);
        if (!port || *port < 1) throw UsageError{"--port needs a port number: " + args[1]};
        TimerCommandLine timer(*port, in, out, err, sleeper);
        return timer.run(args[2], {args.begin() + 3, args.end()});
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
