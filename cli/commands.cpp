#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string_view>

#include "cli/console_interrupt.h"
#include "cli/event_commands.h"
#include "cli/ringtone_commands.h"
#include "cli/sound_commands.h"
#include "cli/transmit_commands.h"
#include "cli/usage_voice.h"
#include "core/decimal.h"
#include "core/form/settings_form.h"
#include "core/form/settings_text.h"
#include "core/formats/tone_sequence.h"
#include "core/formats/utf8_path.h"
#include "core/link/line_trace.h"
#include "core/link/link_interrupt.h"
#include "core/link/port_names.h"
#include "core/link/port_numbers.h"
#include "core/link/serial_port.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operations/connect.h"
#include "core/operations/ringtone_dialog_model.h"
#include "core/operations/ringtone_load.h"
#include "core/operations/sequence_tables.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/operations/whole_setup.h"
#include "core/operations/write_log.h"
#include "core/timer_settings.h"

namespace {

constexpr const char* programName = "tavofoxctl";
constexpr const char* noIdentity = "The timer did not identify itself";
constexpr const char* cannotRead = "cannot read ";
constexpr const char* unexpectedFailure = "unexpected failure";
constexpr const char* cannotTrace = "cannot write the trace to ";
constexpr const char* verifiedPrefix = "verified: ";
constexpr const char* notVerifiedFormat = "not verified: the %s is not sent back by the timer";
constexpr const char* cwNotWritten = "configuration applied; CW message not written";
constexpr const char* cwNotApplied = "configuration written, not applied; CW message not written";
constexpr const char* interruptedPrefix = "interrupted; ";
constexpr const char* passedOverNote = ": the timer's own, passed over: a setup leaves them in the timer";
// A settings file is a page of text: anything that cannot be read whole within this (a
// folder, a device that never ends, a read error) is refused before the timer is woken.
constexpr std::size_t settingsFileLimit = std::size_t{1} << 20;

constexpr const char* description =
    "Programs a fox transmitter timer on a serial port from a shell: the window's operations,\n"
    "one command a call. Every command that talks to a timer starts as the window's Connect\n"
    "does (reset, wake, identify); everything given is checked before the port is opened.\n"
    "Messages the window would show go to standard error, one per line.";
constexpr const char* exitStatuses = "Exit status:\n"
                                     "  0    all done\n"
                                     "  1    the timer did not do all of it\n"
                                     "  2    input refused, nothing sent (the port is not opened)\n"
                                     "  130  interrupted (Ctrl-C)";
constexpr const char* mainFooter =
    "Commands:\n"
    "  tavofoxctl ports\n"
    "  tavofoxctl log\n"
    "  tavofoxctl --port PORT identify | reset | test-mode | read\n"
    "  tavofoxctl --port PORT write [--from FILE [--fox NAME]] [key=value ...] [--verify]\n"
    "  tavofoxctl event FILE\n"
    "  tavofoxctl --port PORT tone-sequence TEXT [--verify]\n"
    "  tavofoxctl --port PORT transmit-sequence SECONDS:KIND ... [--verify]\n"
    "  tavofoxctl --port PORT tune [--write [--verify]]\n"
    "  tavofoxctl --port PORT ringtone send FILE [--bpm B] [--no-staccato] [--verify]\n"
    "  tavofoxctl ringtone encode FILE\n"
    "  tavofoxctl ringtone wav FILE OUT.wav [--rate HZ]\n"
    "  tavofoxctl --port PORT sound FILE [--verify]\n"
    "  tavofoxctl sound check FILE [--clock 8000000|10000000] [--memory KIB]\n"
    "\n"
    "The global options --port and --trace go before or after the command. --port takes a\n"
    "port number as `tavofoxctl ports` lists it (5 or COM5) or a device path (/dev/ttyUSB0,\n"
    "/dev/serial/by-id/..., \\\\.\\COM12 on Windows).\n"
    "--verify, after a command that writes the parameter memory, reads the configuration back\n"
    "and compares every block written within its first 128 bytes: \"verified: configuration\n"
    "block at 0, CW block at 32\", or the first difference in the window's words with its cell,\n"
    "\"verify failed: Cycle ID of transmitter: written 3, the timer holds 4 (cell 4)\", and exit\n"
    "status 1. The ringtone block at 128 is not sent back by the timer.\n"
    "write --from FILE writes a setup as the window's Write Whole Setup does, and always reads\n"
    "it back. Every such write is recorded in the write log that `tavofoxctl log` prints.\n"
    "Run tavofoxctl COMMAND --help for a command's arguments and an example.\n";

std::string readSettingsFile(const std::string& path) {
    std::ifstream file(utf8Path(path), std::ios::binary);
    if (!file) throw commandLineError(cannotRead + path);
    std::string content;
    std::array<char, 65536> buffer;
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        content.append(buffer.data(), static_cast<std::size_t>(file.gcount()));
        if (content.size() > settingsFileLimit) throw commandLineError(path + ": larger than 1 MiB");
    }
    if (file.bad()) throw commandLineError(cannotRead + path);
    return content;
}

// What write takes: the file's lines first, then the command line's, which override them.
// With a file it is a setup, written by the setup write; without one, the settings written
// by the configuration write with the tables they name.
struct WriteInput {
    std::string fromFile;
    std::vector<SettingsAssignment> lines; // a setup's lines, the command line's after them
    std::vector<SettingsAssignment> assignments;
    SequenceTables tables;
    SetupWriteRequest request;
    std::vector<std::string> passedOver;
};

// The folder a setup's relative sound file is taken from, named in full.
std::string fileDirectory(const std::string& file) {
    std::error_code error;
    return utf8Name(std::filesystem::absolute(utf8Path(file), error).parent_path());
}

// A refusal named by the file when it came from one of the file's lines.
UsageError refusal(const std::string& fromFile, const std::string& failure) {
    const bool fromLine = failure.rfind("line ", 0) == 0;
    return UsageError(fromLine ? fromFile + ": " + failure : failure);
}

WriteInput checkWrite(const std::string& fromFile, const std::string& fox,
                      const std::vector<std::string>& given, bool withSound, std::ostream& err) {
    WriteInput input;
    input.fromFile = fromFile;
    std::string error;
    std::vector<SettingsAssignment> commandLine;
    for (const std::string& text : given) {
        auto assignment = parseAssignment(text, error);
        if (!assignment) throw commandLineError(error);
        commandLine.push_back(std::move(*assignment));
    }
    if (fromFile.empty()) {
        input.assignments = std::move(commandLine);
        // Checked on the start values: each value stands on its own, so a value that passes
        // here passes on any timer whose own values pass.
        TimerSettings trial;
        std::optional<std::string> failure = takeSequenceTables(input.assignments, input.tables);
        if (!failure) failure = applySettings(input.assignments, trial);
        if (failure) throw UsageError(*failure);
        return input;
    }
    // Of an event, the fox's setup: the event's lines with the fox's over them.
    auto lines = parseSetupLines(foxOfEvent(fromFile, readSettingsFile(fromFile), fox, err), error);
    if (!lines) throw commandLineError(fromFile + ": " + error);
    input.lines = std::move(*lines);
    for (SettingsAssignment& assignment : commandLine) {
        // The trim given here is written; the timer's own one in a file never is.
        if (assignment.key == "oscillatorTune") {
            TimerSettings trial;
            if (auto failure = applySettings({assignment}, trial)) throw UsageError(*failure);
            input.request.oscillatorTune = trial.oscillatorTune;
        } else {
            input.lines.push_back(std::move(assignment));
        }
    }
    TimerSetup trial;
    if (auto failure = applySetupLines(input.lines, fileDirectory(fromFile), trial))
        throw refusal(fromFile, *failure);
    input.passedOver = trial.passedOver;
    input.request.setupPath = fromFile;
    input.request.foxName = fox;
    input.request.sound = withSound ? SoundChoice::upload : SoundChoice::skip;
    if (withSound && !trial.soundFile.empty()) {
        try {
            checkSoundFile(trial.soundFile);
        } catch (const UsageError& e) {
            const auto line = std::find_if(input.lines.begin(), input.lines.end(),
                                           [](const SettingsAssignment& a) { return a.key == "soundFile"; });
            std::string message = e.what();
            while (!message.empty() && message.back() == '\n')
                message.pop_back();
            throw refusal(fromFile, "line " + std::to_string(line->line) + ": soundFile: " + trial.soundFile +
                                        ": " + message);
        }
    }
    return input;
}

// write without a file: the connected timer's settings under the assignments, the tables,
// then the configuration.
int writeSettings(OperationContext& op, const WriteInput& input) {
    if (!writeSequenceTables(op, input.tables)) return ExitStatus::failed;
    return writeConfiguration(op) ? ExitStatus::ok : ExitStatus::failed;
}

// write --from: the setup laid over what the timer holds, written by the setup write.
int writeSetupFile(OperationContext& op, std::ostream& err, const WriteInput& input,
                   const std::string& port) {
    if (!input.passedOver.empty()) {
        std::string keys;
        for (const std::string& key : input.passedOver)
            keys += (keys.empty() ? "" : ", ") + key;
        err << input.fromFile << ": " << keys << passedOverNote << '\n';
    }
    TimerSetup setup;
    setup.settings = op.settings;
    if (auto failure = applySetupLines(input.lines, fileDirectory(input.fromFile), setup)) {
        err << refusal(input.fromFile, *failure).what() << '\n';
        return ExitStatus::failed;
    }
    SetupWriteRequest request = input.request;
    request.portName = port;
    const SetupWriteOutcome outcome = writeSetup(op, setup, request);
    err << outcome.message;
    if (outcome.differenceCell) err << " (cell " << *outcome.differenceCell << ")";
    err << '\n';
    if (!outcome.note.empty()) err << outcome.note << '\n';
    return outcome.complete() ? ExitStatus::ok : ExitStatus::failed;
}

// Checked at the 8 MHz clock, whose frequency limit is the lower one; the timer's own clock
// is checked again once it is known.
void checkToneSequence(const std::string& text) {
    if (!toneSequenceAccepted(parseToneSequenceText(text, TimerClock::model684Hz)))
        throw UsageError(ToneSequenceText::tooFewTones);
    if (const std::string problem = toneSequenceOutOfRange(text, TimerClock::model684Hz); !problem.empty())
        throw UsageError(problem);
}

// One timer on one port, reached as the window's Connect reaches it.
class TimerCommandLine {
public:
    TimerCommandLine(const PortChoice& port, std::istream& in, std::ostream& out, std::ostream& err,
                     const ConsolePanel::Sleeper& sleeper, LineObserver* trace)
        : in_(in), out_(out), err_(err),
          portLabel_(port.devicePath.empty() ? portName(static_cast<unsigned>(port.number))
                                             : port.devicePath),
          panel_(port.number, err, sleeper),
          session_(panel_, panel_, settings_), operation_{session_, panel_, panel_, settings_} {
        session_.setLineObserver(trace);
        session_.setDevicePath(port.devicePath);
    }

    // The command, and with verify the read-back after it.
    int run(const std::function<int(TimerCommandLine&)>& command, bool verify);

    bool connect(bool readSettings) {
        const Connection reached = connectTimer(operation_, readSettings);
        if (reached == Connection::notIdentified) panel_.showMessage(noIdentity, MessageIcon::Warning);
        return reached == Connection::connected;
    }
    bool checked(const std::vector<SettingsAssignment>& assignments) {
        if (auto failure = applySettings(assignments, settings_)) {
            panel_.showMessage(*failure, MessageIcon::Warning);
            return false;
        }
        return true;
    }
    TimerCommandParts parts() {
        return {operation_, panel_, in_,
                out_,       err_,   [this](bool readSettings) { return connect(readSettings); }};
    }

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    const std::string& portLabel() const { return portLabel_; }
    ConsolePanel& panel() { return panel_; }
    TimerSession& session() { return session_; }
    OperationContext& operation() { return operation_; }
    TimerSettings& settings() { return settings_; }

private:
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    std::string portLabel_;
    TimerSettings settings_;
    ConsolePanel panel_;
    TimerSession session_;
    OperationContext operation_;
};

int TimerCommandLine::run(const std::function<int(TimerCommandLine&)>& command, bool verify) {
    // Ctrl-C from here on stops the command at the next block boundary (LinkInterrupt).
    LinkInterrupt::clear();
    InterruptCatcher interrupt(true);
    const int status = command(*this);
    interrupt.release();
    const auto& written = session_.writtenBlocks();
    const auto at = [&written](std::uint8_t address) {
        return std::find_if(written.begin(), written.end(),
                            [address](const WrittenBlock& block) { return block.address == address; });
    };
    if (const auto config = at(TimerMemoryMap::configAddress);
        status != ExitStatus::ok && config != written.end() &&
        at(TimerMemoryMap::cwMessageAddress) == written.end())
        err_ << (static_cast<std::size_t>(config - written.begin()) < session_.appliedBlockCount()
                     ? cwNotWritten
                     : cwNotApplied)
             << '\n';
    if (LinkInterrupt::requested()) {
        err_ << programPrefix << interruptedPrefix << reachedTimerReport(session_) << '\n';
        return interruptedExit;
    }
    if (!verify || status != ExitStatus::ok) return status;
    const VerifyReport report = verifyWrittenBlocks(session_, written);
    if (report.difference) {
        err_ << *report.difference << '\n';
        return ExitStatus::failed;
    }
    if (!report.compared.empty()) err_ << verifiedPrefix << report.compared << '\n';
    if (!report.beyondImage.empty()) {
        char text[128];
        std::snprintf(text, sizeof text, notVerifiedFormat, report.beyondImage.c_str());
        err_ << text << '\n';
    }
    return ExitStatus::ok;
}

using TimerJob = std::function<int(TimerCommandLine&)>;

// What the command line asks for, as its commands' callbacks fill it in; everything in it
// has been checked before the port is opened.
struct CommandLine {
    CommandLine(std::ostream& out, std::ostream& err) : out(out), err(err) {}
    std::ostream& out;
    std::ostream& err;
    std::string port;
    std::string trace;
    CLI::Option* portOption = nullptr;
    bool verify = false;
    TimerJob timerJob;
    std::function<int()> localJob;
};

// A file the program reads must be one: a folder, a FIFO or a device would block the read
// or never end it. A name that names nothing passes, for the reader's own message.
const CLI::Validator regularFile(
    [](std::string& name) -> std::string {
        if (readableAsFile(utf8Path(name))) return {};
        std::error_code error;
        return name + " is " +
               (std::filesystem::is_directory(utf8Path(name), error) ? "a folder" : "a device or pipe") +
               ", not a file";
    },
    "");

// A value the window's form would refuse, refused in the window's words ("--bpm: Please
// enter an integer between 25 and 600."), as the form refuses a key=value.
CLI::Validator formRange(const std::string& option, IntRange range) {
    return CLI::Validator(
        [option, range](std::string& text) -> std::string {
            const std::optional<int> value = parseInteger(text);
            if (!value) throw UsageError(option + ": " + std::string(FormText::notAnInteger));
            if (*value < range.min || *value > range.max)
                throw UsageError(option + ": " + formatRangeMessage(range.min, range.max));
            return {};
        },
        std::to_string(range.min) + ".." + std::to_string(range.max));
}

CLI::App* addCommand(CLI::App& parent, const char* name, const char* what, const std::string& example) {
    CLI::App* sub = parent.add_subcommand(name, what);
    sub->footer("Example:\n  " + example + "\n\n" + exitStatuses);
    return sub;
}

// A command that talks to a timer: it needs --port, given before or after it.
CLI::App* addTimerCommand(CLI::App& parent, CommandLine& line, const char* name, const char* what,
                          const std::string& example) {
    CLI::App* sub = addCommand(parent, name, what, example);
    sub->needs(line.portOption);
    return sub;
}

CLI::Option* addVerify(CLI::App* sub, CommandLine& line) {
    return sub->add_flag("--verify", line.verify, "read the configuration back and compare what was written");
}

void addGlobalOptions(CLI::App& app, CommandLine& line) {
    line.portOption = app.add_option("--port", line.port, "the timer's port: N, COM<N> or a device path")
                          ->type_name("PORT")
                          ->check(CLI::Validator(
                              [](std::string& text) {
                                  std::string problem;
                                  parsePortChoice(text, problem);
                                  return problem;
                              },
                              ""));
    app.add_option("--trace", line.trace,
                   "write every byte sent to and received from the timer to FILE, one a line:\n"
                   "milliseconds since the start, out or in, the byte in hex and, where\n"
                   "printable, as a character")
        ->type_name("FILE");
}

int listPorts(std::ostream& out) {
    std::vector<unsigned> ports;
    enumerateSerialPorts(ports);
    for (unsigned n : ports)
        out << portName(n) << '\t' << portDevicePath(static_cast<int>(n)) << '\n';
    return ExitStatus::ok;
}

int printWriteLog(std::ostream& out, std::ostream& err) {
    const std::optional<std::vector<WriteLogEntry>> entries = readWriteLog();
    if (!entries) {
        err << programPrefix << cannotRead << utf8Name(writeLogPath()) << '\n';
        return ExitStatus::failed;
    }
    out << writeLogHeader << '\n';
    for (const WriteLogEntry& entry : *entries)
        out << formatWriteLogLine(entry) << '\n';
    return ExitStatus::ok;
}

void addLogCommand(CLI::App& app, CommandLine& line) {
    addCommand(app, "log", "print the write log: one line for every setup written, from the window or here",
               "tavofoxctl log")
        ->callback([&line] { line.localJob = [&line] { return printWriteLog(line.out, line.err); }; });
}

void addPortsCommand(CLI::App& app, CommandLine& line) {
    addCommand(app, "ports", "list the serial ports: COM<N>, a tab, the device", "tavofoxctl ports")
        ->callback([&line] { line.localJob = [&line] { return listPorts(line.out); }; });
}

int identify(TimerCommandLine& t) {
    if (!t.connect(false)) return ExitStatus::failed;
    t.out() << t.panel().identity() << '\n';
    return ExitStatus::ok;
}

int reset(TimerCommandLine& t) {
    if (!t.connect(false)) return ExitStatus::failed;
    t.session().resetTimer();
    return ExitStatus::ok;
}

int testMode(TimerCommandLine& t) {
    if (!t.connect(false)) return ExitStatus::failed;
    return t.session().startTestMode() ? ExitStatus::ok : ExitStatus::failed;
}

int readSettings(TimerCommandLine& t) {
    if (!t.connect(true)) return ExitStatus::failed;
    t.out() << setupTimerComment << setupTimerText(t.session().identity()) << '\n'
            << formatSettingsText(t.settings());
    return ExitStatus::ok;
}

// The commands that take nothing but the timer.
struct PlainTimerCommand {
    const char* name;
    const char* what;
    const char* example;
    int (*job)(TimerCommandLine&);
};

constexpr PlainTimerCommand plainTimerCommands[] = {
    {"identify", "wake the timer and print its identity line", "tavofoxctl --port 5 identify", identify},
    {"reset", "pulse the timer's reset line", "tavofoxctl --port 5 reset", reset},
    {"test-mode", "switch the timer to test mode", "tavofoxctl --port 5 test-mode", testMode},
    {"read", "print every stored setting as key=value", "tavofoxctl --port 5 read > fox.txt", readSettings},
};

void addPlainTimerCommand(CLI::App& app, CommandLine& line, const PlainTimerCommand& command) {
    addTimerCommand(app, line, command.name, command.what, command.example)->callback([&line, command] {
        line.timerJob = command.job;
    });
}

// A key given twice on the command line is refused, as a file refuses it: which was meant?
void refuseRepeatedKeys(const std::vector<std::string>& assignments) {
    std::set<std::string_view> keys;
    for (const std::string& text : assignments) {
        const std::string_view key = std::string_view(text).substr(0, text.find('='));
        if (!keys.insert(key).second) throw commandLineError(std::string(key) + ": given twice");
    }
}

void addWriteCommand(CLI::App& app, CommandLine& line) {
    struct Options {
        std::string fromFile;
        std::string fox;
        std::vector<std::string> assignments;
        bool withSound = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* write =
        addTimerCommand(app, line, "write",
                        "write settings: what the timer holds, then FILE's lines, then the key=value\n"
                        "arguments (which override the file), checked with the form's rules",
                        "tavofoxctl --port 5 write --from fox.txt cycleId=3");
    CLI::Option* from =
        write
            ->add_option("--from", options->fromFile,
                         "a setup file (.tavofox) or key=value lines as `read` prints them, written\n"
                         "as the window's Write Whole Setup writes it: its tables and ringtone too,\n"
                         "never the timer's own trim and table length; read back, and recorded in\n"
                         "the write log")
            ->type_name("FILE")
            ->check(regularFile);
    write
        ->add_option("--fox", options->fox,
                     "the fox or beacon NAME of an event file: the event's settings,\n"
                     "then the fox's over them")
        ->type_name("NAME")
        ->needs(from);
    write->add_option("key=value", options->assignments, "a setting as `read` prints it");
    write->add_flag("--with-sound", options->withSound,
                    "upload the setup's soundFile too, with a progress bar (without it the sound\n"
                    "is left out, and stderr says so)");
    addVerify(write, line);
    write->callback([&line, options] {
        refuseRepeatedKeys(options->assignments);
        auto input = std::make_shared<WriteInput>(
            checkWrite(options->fromFile, options->fox, options->assignments, options->withSound, line.err));
        line.timerJob = [input](TimerCommandLine& t) {
            if (!t.connect(true)) return ExitStatus::failed;
            if (!input->fromFile.empty())
                return writeSetupFile(t.operation(), t.err(), *input, t.portLabel());
            if (!t.checked(input->assignments)) return ExitStatus::failed;
            return writeSettings(t.operation(), *input);
        };
    });
}

void addEventCommand(CLI::App& app, CommandLine& line) {
    auto file = std::make_shared<std::string>();
    CLI::App* event = addCommand(app, "event",
                                 "print an event file's foxes and one full cycle, one character a slot\n"
                                 "(# on the air, . off, a sequence's steps by kind), then the slots in\n"
                                 "which two foxes or none are on the air; exit status 2 when there is one",
                                 "tavofoxctl event spring.tavofox");
    event->add_option("FILE", *file, "the event file")->required()->check(regularFile);
    event->callback([&line, file] {
        line.localJob = [&line, file] {
            return printEvent(*file, readSettingsFile(*file), line.out, line.err);
        };
    });
}

void addToneSequenceCommand(CLI::App& app, CommandLine& line) {
    auto text = std::make_shared<std::string>();
    CLI::App* tones =
        addTimerCommand(app, line, "tone-sequence", "write the tone sequence, then the configuration",
                        "tavofoxctl --port 5 tone-sequence 800,10,1200,10");
    tones->add_option("TEXT", *text, "frequency,length pairs")->required();
    addVerify(tones, line);
    tones->callback([&line, text] {
        checkToneSequence(*text);
        line.timerJob = [text = *text](TimerCommandLine& t) {
            if (!t.connect(true) || !t.checked({})) return ExitStatus::failed;
            t.panel().answerToneSequence(text);
            return editToneSequence(t.operation()) == Outcome::done ? ExitStatus::ok : ExitStatus::failed;
        };
    });
}

void addTransmitSequenceCommand(CLI::App& app, CommandLine& line) {
    auto steps = std::make_shared<std::vector<std::string>>();
    CLI::App* sequence =
        addTimerCommand(app, line, "transmit-sequence",
                        "write the steps of sequenced transmission: one to six SECONDS:KIND,\n"
                        "0..1000 s rounded to tens; KIND one of no-transmit, tone-sequence,\n"
                        "single-tone, wave-file, cw-message, sound-effect, ringtone",
                        "tavofoxctl --port 5 transmit-sequence 60:single-tone 120:cw-message");
    sequence->add_option("SECONDS:KIND", *steps, "a step")->required();
    addVerify(sequence, line);
    sequence->callback([&line, steps] {
        line.timerJob = [table = checkTransmitSteps(*steps)](TimerCommandLine& t) {
            TimerCommandParts parts = t.parts();
            return runTransmitSequence(parts, table);
        };
    });
}

void addTuneCommand(CLI::App& app, CommandLine& line) {
    auto write = std::make_shared<bool>(false);
    CLI::App* tune =
        addTimerCommand(app, line, "tune",
                        "trim the oscillator: trims -4..+4 read from standard input one a line,\n"
                        "each sent at once; ok (or the end of the input) keeps the last, cancel\n"
                        "changes nothing",
                        "tavofoxctl --port 5 tune --write");
    CLI::Option* writeFlag = tune->add_flag("--write", *write, "write the configuration with the trim kept");
    addVerify(tune, line)->needs(writeFlag);
    tune->callback([&line, write] {
        line.timerJob = [write = *write](TimerCommandLine& t) {
            TimerCommandParts parts = t.parts();
            return runTune(parts, write);
        };
    });
}

void addRingtoneCommands(CLI::App& app, CommandLine& line) {
    struct Options {
        std::string melodyFile;
        std::string wavFile;
        int sampleRate = ringtoneWavDefaultRate;
        int bpm = 0;
        bool noStaccato = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* ringtone =
        app.add_subcommand("ringtone", "a ringtone melody (RTTTL) encoded, rendered or sent");
    ringtone->require_subcommand(1);
    ringtone->footer(exitStatuses);
    const auto addMelodyFile = [&options](CLI::App* sub) {
        sub->add_option("FILE", options->melodyFile, "the melody file")->required()->check(regularFile);
    };

    CLI::App* encode = addCommand(*ringtone, "encode", "print the block the timer receives; no timer needed",
                                  "tavofoxctl ringtone encode fox-call.rtt");
    addMelodyFile(encode);
    encode->callback([&line, options] {
        line.localJob = [&line, options] { return encodeRingtone(options->melodyFile, line.out, line.err); };
    });

    CLI::App* wav =
        addCommand(*ringtone, "wav", "render the preview as a 16-bit mono WAV file; no timer needed",
                   "tavofoxctl ringtone wav fox-call.rtt fox-call.wav --rate 22050");
    addMelodyFile(wav);
    wav->add_option("OUT.wav", options->wavFile, "the WAV file written")->required();
    wav->add_option("--rate", options->sampleRate, "samples a second (default 44100)")
        ->type_name("HZ")
        ->check(CLI::Range(ringtoneWavLowestRate, ringtoneWavHighestRate));
    wav->callback([&line, options] {
        line.localJob = [&line, options] {
            return renderRingtoneWav(options->melodyFile, options->wavFile, options->sampleRate, line.err);
        };
    });

    CLI::App* send = addTimerCommand(*ringtone, line, "send",
                                     "write the melody, then the configuration in the ringtone mode",
                                     "tavofoxctl --port 5 ringtone send fox-call.rtt --bpm 240");
    addMelodyFile(send);
    CLI::Option* bpm = send->add_option("--bpm", options->bpm, "beats a minute instead of the file's b=")
                           ->type_name("B")
                           ->check(formRange("--bpm", *ringtoneFieldRange(RingtoneField::beatsPerMinute)));
    send->add_flag("--no-staccato", options->noStaccato, "clear the staccato bit");
    addVerify(send, line);
    send->callback([&line, options, bpm] {
        ConsolePanel panel(0, line.err, {});
        const RingtoneChoice choice =
            checkRingtoneSend(options->melodyFile, bpm->count() ? std::optional(options->bpm) : std::nullopt,
                              options->noStaccato, panel);
        line.timerJob = [choice](TimerCommandLine& t) {
            TimerCommandParts parts = t.parts();
            return sendRingtone(parts, choice);
        };
    });
}

void addSoundCommands(CLI::App& app, CommandLine& line) {
    struct Options {
        std::string file;
        int clockHz = TimerClock::model684Hz;
        int memoryKiB = soundCheckDefaultMemoryKiB;
    };
    auto options = std::make_shared<Options>();
    CLI::App* sound = addCommand(app, "sound",
                                 "upload an 8-bit mono 11025 Hz WAV file, as \"Load Sound \" does; on a\n"
                                 "terminal with a progress bar, Ctrl-C cancels after the block on the line",
                                 "tavofoxctl --port 5 sound fox.wav --verify");
    // The upload needs the timer; "sound check" does not.
    sound->add_option("FILE", options->file, "the WAV file")->check(regularFile)->needs(line.portOption);
    addVerify(sound, line);
    CLI::App* check = addCommand(*sound, "check", "check a file as the upload would, without a timer",
                                 "tavofoxctl sound check fox.wav --clock 10000000 --memory 64");
    check->add_option("FILE", options->file, "the WAV file")->required()->check(regularFile);
    check->add_option("--clock", options->clockHz, "the timer's clock (default 8000000)")
        ->type_name("HZ")
        ->check(CLI::IsMember({TimerClock::model684Hz, TimerClock::model628AHz}));
    check->add_option("--memory", options->memoryKiB, "its sample memory in KiB (default 64)")
        ->type_name("KIB")
        ->check(CLI::IsMember({0, 32, 64, 128}));
    check->callback([&line, options] {
        line.localJob = [&line, options] {
            return checkSound(options->file, options->clockHz, options->memoryKiB, line.out, line.err);
        };
    });
    sound->callback([&line, options] {
        if (line.localJob) return;
        if (options->file.empty()) throw commandLineError("sound needs FILE. Run tavofoxctl sound --help");
        checkSoundFile(options->file);
        line.timerJob = [file = options->file](TimerCommandLine& t) {
            if (!t.connect(false)) return ExitStatus::failed;
            return uploadSound(t.operation(), t.panel(), file);
        };
    });
}

// Parses the command line into line; a status when it is answered without a command (help,
// version). CLI11's refusals come out as UsageError in the program's words.
std::optional<int> parseCommandLine(CLI::App& app, const std::vector<std::string>& args, std::ostream& out) {
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return ExitStatus::ok;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return ExitStatus::ok;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n';
        return ExitStatus::ok;
    } catch (const CLI::ParseError& e) {
        throw UsageError(usageRefusal(programName, app, e));
    }
    return std::nullopt;
}

// The timer command asked for, on the port asked for, with its trace.
int runTimerJob(const CommandLine& line, std::istream& in, const ConsolePanel::Sleeper& sleeper) {
    std::string problem;
    if (!line.timerJob) throw commandLineError("a command is needed. Run tavofoxctl --help");
    const std::optional<PortChoice> port = parsePortChoice(line.port, problem);
    if (!port) throw commandLineError("--port: " + problem);
    std::ofstream traceFile;
    std::optional<LineTrace> trace;
    if (!line.trace.empty()) {
        traceFile.open(utf8Path(line.trace), std::ios::binary | std::ios::trunc);
        if (!traceFile) throw commandLineError(cannotTrace + line.trace);
        trace.emplace(traceFile);
    }
    TimerCommandLine timer(*port, in, line.out, line.err, sleeper, trace ? &*trace : nullptr);
    return timer.run(line.timerJob, line.verify);
}

} // namespace

UsageError commandLineError(const std::string& problem) {
    return UsageError(programPrefix + problem);
}

int runTavofoxctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const ConsolePanel::Sleeper& sleeper) {
    return runTavofoxctl(args, std::cin, out, err, sleeper);
}

int runTavofoxctl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                  std::ostream& err, const ConsolePanel::Sleeper& sleeper) {
    CommandLine line(out, err);
    CLI::App app(description, programName);
    app.set_version_flag("--version", std::string(programName) + " " + TAVOFOX_VERSION);
    app.footer(std::string(mainFooter) + "\n" + exitStatuses);
    app.require_subcommand(1);
    // Global options after the command are passed up to here.
    app.fallthrough();
    addGlobalOptions(app, line);
    addPortsCommand(app, line);
    addLogCommand(app, line);
    for (const PlainTimerCommand& command : plainTimerCommands)
        addPlainTimerCommand(app, line, command);
    addWriteCommand(app, line);
    addEventCommand(app, line);
    addToneSequenceCommand(app, line);
    addTransmitSequenceCommand(app, line);
    addTuneCommand(app, line);
    addRingtoneCommands(app, line);
    addSoundCommands(app, line);
    try {
        if (const std::optional<int> answered = parseCommandLine(app, args, out)) return *answered;
        return line.localJob ? line.localJob() : runTimerJob(line, in, sleeper);
    } catch (const UsageError& e) {
        if (*e.what()) err << e.what() << '\n';
        return ExitStatus::usage;
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
