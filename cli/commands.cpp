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

#include "cli/event_commands.h"
#include "cli/ringtone_commands.h"
#include "cli/sound_commands.h"
#include "cli/transmit_commands.h"
#include "core/decimal.h"
#include "core/form/settings_text.h"
#include "core/formats/tone_sequence.h"
#include "core/formats/utf8_path.h"
#include "core/link/line_trace.h"
#include "core/link/port_numbers.h"
#include "core/link/serial_port.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operations/connect.h"
#include "core/operations/ringtone_load.h"
#include "core/operations/sequence_tables.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/operations/whole_setup.h"
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
constexpr const char* portForms = "--port takes a port number, COM<N> or a device path, not ";
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
    "block at 0, CW block at 32\", or \"verify failed: configuration block at 0, byte 4: wrote\n"
    "02, read 03\" and exit status 1. The ringtone block at 128 is not sent back by the timer.\n"
    "Run tavofoxctl COMMAND --help for a command's arguments and an example.\n";

UsageError unknownCommand(const std::string& hint, const std::string& what) {
    return commandLineError(what + ". Run " + hint + " --help");
}

// The port as the user names it: a number, COM<N>, or a device path.
struct PortChoice {
    int number = 0;
    std::string devicePath;
};

PortChoice parsePort(const std::string& text) {
    std::string digits = text;
    if (text.size() > 3 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'O' || text[1] == 'o') &&
        (text[2] == 'M' || text[2] == 'm'))
        digits = text.substr(3);
    if (const std::optional<int> number = parseDigits(digits); number && *number >= 1) return {*number, {}};
    const bool path = text.find('/') != std::string::npos || text.find('\\') != std::string::npos;
    if (!path) throw commandLineError(portForms + text);
    // Windows devices (\\.\COM12) are not files to ask about; their open says it all.
    const bool windowsDevice = text.rfind("\\\\.\\", 0) == 0;
    std::error_code error;
    if (!windowsDevice && !std::filesystem::exists(utf8Path(text), error))
        throw commandLineError("--port: no such device: " + text);
    return {0, text};
}

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

// What write takes: the file's lines first, then the command line's, which override them,
// and the ringtone and sound file of a setup.
struct WriteInput {
    std::vector<SettingsAssignment> assignments;
    SequenceTables tables;
    TimerSetup setup;
    bool withSound = false;
};

WriteInput checkWrite(const std::string& fromFile, const std::string& fox,
                      const std::vector<std::string>& given, bool withSound, std::ostream& err) {
    WriteInput input;
    std::size_t fromFileCount = 0;
    std::string error;
    if (!fromFile.empty()) {
        // Of an event, the fox's setup: the event's lines with the fox's over them.
        const std::string content = foxOfEvent(fromFile, readSettingsFile(fromFile), fox, err);
        auto extras = parseSetupExtras(content, utf8Name(utf8Path(fromFile).parent_path()), error);
        if (!extras) throw commandLineError(fromFile + ": " + error);
        input.setup = std::move(*extras);
        input.withSound = withSound && !input.setup.soundFile.empty();
        if (input.withSound) checkSoundFile(input.setup.soundFile);
        auto lines = parseSettingsFile(content, error);
        if (!lines) throw commandLineError(fromFile + ": " + error);
        input.assignments = std::move(*lines);
        fromFileCount = input.assignments.size();
    }
    for (const std::string& text : given) {
        auto assignment = parseAssignment(text, error);
        if (!assignment) throw commandLineError(error);
        input.assignments.push_back(std::move(*assignment));
    }
    // Checked on the start values: each value stands on its own, so a value that passes here
    // passes on any timer whose own values pass.
    TimerSettings trial;
    std::optional<std::string> failure = takeSequenceTables(input.assignments, input.tables);
    if (!failure) failure = applySettings(input.assignments, trial);
    if (!failure) return input;
    // A refused value whose last assignment came from the file is named with the file.
    for (std::size_t i = input.assignments.size(); i-- > 0;) {
        const std::string& key = input.assignments[i].key;
        if (failure->rfind(key, 0) != 0 || failure->find_first_of(": ", key.size()) != key.size()) continue;
        if (i < fromFileCount) throw UsageError(fromFile + ": " + *failure);
        break;
    }
    throw UsageError(*failure);
}

// write: the connected timer's settings under the assignments, the tables, the setup's
// melody, the configuration, then the setup's sound when asked for. A sound for a timer
// without external memory is refused before anything is written.
int writeSettings(OperationContext& op, ConsolePanel& panel, const WriteInput& input) {
    if (input.withSound && op.session.externalMemorySize() == 0) {
        panel.showMessage(WholeSetupText::soundWithoutMemory, MessageIcon::Warning);
        return ExitStatus::failed;
    }
    if (!writeSequenceTables(op, input.tables)) return ExitStatus::failed;
    if (const std::optional<RingtoneMelody> melody = setupRingtoneMelody(input.setup);
        melody &&
        !op.session.writeBlock(TimerMemoryMap::ringtoneAddress, TimerMemoryMap::ringtoneLength, *melody)) {
        panel.showMessage(RingtoneLoadText::writeFailed, MessageIcon::Warning);
        return ExitStatus::failed;
    }
    if (!writeConfiguration(op)) return ExitStatus::failed;
    return input.withSound ? uploadSound(op, panel, input.setup.soundFile) : ExitStatus::ok;
}

std::string checkToneSequence(const std::string& text) {
    if (!toneSequenceAccepted(parseToneSequenceText(text, TimerClock::model684Hz)))
        throw UsageError(ToneSequenceText::tooFewTones);
    return text;
}

// One timer on one port, reached as the window's Connect reaches it.
class TimerCommandLine {
public:
    TimerCommandLine(const PortChoice& port, std::istream& in, std::ostream& out, std::ostream& err,
                     const ConsolePanel::Sleeper& sleeper, LineObserver* trace)
        : in_(in), out_(out), err_(err), panel_(port.number, err, sleeper),
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
    ConsolePanel& panel() { return panel_; }
    TimerSession& session() { return session_; }
    OperationContext& operation() { return operation_; }
    TimerSettings& settings() { return settings_; }

private:
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    TimerSettings settings_;
    ConsolePanel panel_;
    TimerSession session_;
    OperationContext operation_;
};

int TimerCommandLine::run(const std::function<int(TimerCommandLine&)>& command, bool verify) {
    const int status = command(*this);
    const auto& written = session_.writtenBlocks();
    const auto at = [&written](std::uint8_t address) {
        return std::any_of(written.begin(), written.end(),
                           [address](const WrittenBlock& block) { return block.address == address; });
    };
    if (status == ExitStatus::failed && at(TimerMemoryMap::configAddress) &&
        !at(TimerMemoryMap::cwMessageAddress))
        err_ << cwNotWritten << '\n';
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

int listPorts(std::ostream& out) {
    std::vector<unsigned> ports;
    enumerateSerialPorts(ports);
    for (unsigned n : ports)
        out << portName(n) << '\t' << portDevicePath(static_cast<int>(n)) << '\n';
    return ExitStatus::ok;
}

using TimerJob = std::function<int(TimerCommandLine&)>;

// The command line as CLI11 takes it apart: what was asked, checked before anything runs.
struct Parsed {
    std::string port;
    std::string trace;
    std::optional<TimerJob> timerJob;
    std::function<int()> localJob;
    bool verify = false;
};

CLI::App* command(CLI::App& parent, const char* name, const char* what, const std::string& example) {
    CLI::App* sub = parent.add_subcommand(name, what);
    sub->footer("Example:\n  " + example + "\n\n" + exitStatuses);
    return sub;
}

void addVerify(CLI::App* sub, Parsed& parsed) {
    sub->add_flag("--verify", parsed.verify, "read the configuration back and compare what was written");
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
    CLI::App app(description, programName);
    app.set_version_flag("--version", std::string(programName) + " " + TAVOFOX_VERSION);
    app.footer(std::string(mainFooter) + "\n" + exitStatuses);
    app.require_subcommand(0, 1);
    // Global options after the command are passed up to here.
    app.fallthrough();
    Parsed parsed;
    app.add_option("--port", parsed.port, "the timer's port: N, COM<N> or a device path")->type_name("PORT");
    app.add_option("--trace", parsed.trace,
                   "write every byte sent to and received from the timer to FILE, one a line:\n"
                   "milliseconds since the start, out or in, the byte in hex and, where\n"
                   "printable, as a character")
        ->type_name("FILE");

    command(app, "ports", "list the serial ports: COM<N>, a tab, the device", "tavofoxctl ports")
        ->callback([&] { parsed.localJob = [&out] { return listPorts(out); }; });
    command(app, "identify", "wake the timer and print its identity line", "tavofoxctl --port 5 identify")
        ->callback([&] {
            parsed.timerJob = [](TimerCommandLine& t) {
                if (!t.connect(false)) return ExitStatus::failed;
                t.out() << t.panel().identity() << '\n';
                return ExitStatus::ok;
            };
        });
    command(app, "reset", "pulse the timer's reset line", "tavofoxctl --port 5 reset")->callback([&] {
        parsed.timerJob = [](TimerCommandLine& t) {
            if (!t.connect(false)) return ExitStatus::failed;
            t.session().resetTimer();
            return ExitStatus::ok;
        };
    });
    command(app, "test-mode", "switch the timer to test mode", "tavofoxctl --port 5 test-mode")
        ->callback([&] {
            parsed.timerJob = [](TimerCommandLine& t) {
                if (!t.connect(false)) return ExitStatus::failed;
                return t.session().startTestMode() ? ExitStatus::ok : ExitStatus::failed;
            };
        });
    command(app, "read", "print every stored setting as key=value", "tavofoxctl --port 5 read > fox.txt")
        ->callback([&] {
            parsed.timerJob = [](TimerCommandLine& t) {
                if (!t.connect(true)) return ExitStatus::failed;
                t.out() << setupTimerComment << setupTimerText(t.session().identity()) << '\n'
                        << formatSettingsText(t.settings());
                return ExitStatus::ok;
            };
        });

    std::string fromFile;
    std::vector<std::string> assignments;
    CLI::App* write = command(app, "write",
                              "write settings: the timer's own, then FILE's lines, then the key=value\n"
                              "arguments (which override the file), checked with the form's rules",
                              "tavofoxctl --port 5 write --from fox.txt cycleId=3");
    bool withSound = false;
    std::string fox;
    CLI::Option* from =
        write
            ->add_option("--from", fromFile,
                         "key=value lines as `read` prints them, or a setup file (.tavofox): its\n"
                         "ringtone is written too")
            ->type_name("FILE");
    write
        ->add_option("--fox", fox,
                     "of an event file, the fox or beacon NAME: the event's settings, then its own")
        ->type_name("NAME")
        ->needs(from);
    write->add_option("key=value", assignments, "a setting as `read` prints it");
    write->add_flag("--with-sound", withSound, "upload the setup's soundFile too, with a progress bar");
    addVerify(write, parsed);
    write->callback([&] {
        auto input = std::make_shared<WriteInput>(checkWrite(fromFile, fox, assignments, withSound, err));
        parsed.timerJob = [input](TimerCommandLine& t) {
            if (!t.connect(true) || !t.checked(input->assignments)) return ExitStatus::failed;
            return writeSettings(t.operation(), t.panel(), *input);
        };
    });

    std::string eventFile;
    CLI::App* event = command(app, "event",
                              "print an event file's foxes and one full cycle, one character a slot\n"
                              "(# on the air, . off, a sequence's steps by kind), then the slots in\n"
                              "which two foxes or none are on the air; exit status 2 when there is one",
                              "tavofoxctl event spring.tavofox");
    event->add_option("FILE", eventFile, "the event file")->required();
    event->callback([&] {
        parsed.localJob = [&] { return printEvent(eventFile, readSettingsFile(eventFile), out, err); };
    });

    std::string toneText;
    CLI::App* tones = command(app, "tone-sequence", "write the tone sequence, then the configuration",
                              "tavofoxctl --port 5 tone-sequence 800,10,1200,10");
    tones->add_option("TEXT", toneText, "frequency,length pairs")->required();
    addVerify(tones, parsed);
    tones->callback([&] {
        const std::string text = checkToneSequence(toneText);
        parsed.timerJob = [text](TimerCommandLine& t) {
            if (!t.connect(true) || !t.checked({})) return ExitStatus::failed;
            t.panel().answerToneSequence(text);
            return editToneSequence(t.operation()) == Outcome::done ? ExitStatus::ok : ExitStatus::failed;
        };
    });

    std::vector<std::string> steps;
    CLI::App* sequence = command(app, "transmit-sequence",
                                 "write the steps of sequenced transmission: one to six SECONDS:KIND,\n"
                                 "0..1000 s rounded to tens; KIND one of no-transmit, tone-sequence,\n"
                                 "single-tone, wave-file, cw-message, sound-effect, ringtone",
                                 "tavofoxctl --port 5 transmit-sequence 60:single-tone 120:cw-message");
    sequence->add_option("SECONDS:KIND", steps, "a step")->required();
    addVerify(sequence, parsed);
    sequence->callback([&] {
        const TransmitSequence table = checkTransmitSteps(steps);
        parsed.timerJob = [table](TimerCommandLine& t) {
            TimerCommandParts parts = t.parts();
            return runTransmitSequence(parts, table);
        };
    });

    bool tuneWrite = false;
    CLI::App* tune = command(app, "tune",
                             "trim the oscillator: trims -4..+4 read from standard input one a line,\n"
                             "each sent at once; ok (or the end of the input) keeps the last, cancel\n"
                             "changes nothing",
                             "tavofoxctl --port 5 tune --write");
    tune->add_flag("--write", tuneWrite, "write the configuration with the trim kept");
    addVerify(tune, parsed);
    tune->callback([&] {
        if (parsed.verify && !tuneWrite) throw commandLineError("tune --verify needs --write");
        parsed.timerJob = [tuneWrite](TimerCommandLine& t) {
            TimerCommandParts parts = t.parts();
            return runTune(parts, tuneWrite);
        };
    });

    CLI::App* ringtone =
        app.add_subcommand("ringtone", "a ringtone melody (RTTTL) encoded, rendered or sent");
    ringtone->require_subcommand(1);
    ringtone->footer(exitStatuses);
    std::string melodyFile, wavFile, rate, bpm;
    bool noStaccato = false;
    CLI::App* encode = command(*ringtone, "encode", "print the block the timer receives; no timer needed",
                               "tavofoxctl ringtone encode fox-call.rtt");
    encode->add_option("FILE", melodyFile, "the melody file")->required();
    encode->callback([&] { parsed.localJob = [&] { return encodeRingtone(melodyFile, out, err); }; });
    CLI::App* wav = command(*ringtone, "wav", "render the preview as a 16-bit mono WAV file; no timer needed",
                            "tavofoxctl ringtone wav fox-call.rtt fox-call.wav --rate 22050");
    wav->add_option("FILE", melodyFile, "the melody file")->required();
    wav->add_option("OUT.wav", wavFile, "the WAV file written")->required();
    wav->add_option("--rate", rate, "samples a second, 16000..192000 (default 44100)")->type_name("HZ");
    wav->callback(
        [&] { parsed.localJob = [&] { return renderRingtoneWav(melodyFile, wavFile, rate, err); }; });
    CLI::App* send =
        command(*ringtone, "send", "write the melody, then the configuration in the ringtone mode",
                "tavofoxctl --port 5 ringtone send fox-call.rtt --bpm 240");
    send->add_option("FILE", melodyFile, "the melody file")->required();
    CLI::Option* bpmOption =
        send->add_option("--bpm", bpm, "beats a minute, 25..600, instead of the file's b=")->type_name("B");
    send->add_flag("--no-staccato", noStaccato, "clear the staccato bit");
    addVerify(send, parsed);
    send->callback([&] {
        ConsolePanel panel(0, err, {});
        const RingtoneChoice choice = checkRingtoneSend(
            melodyFile, bpmOption->count() ? std::optional(bpm) : std::nullopt, noStaccato, panel);
        parsed.timerJob = [choice](TimerCommandLine& t) {
            TimerCommandParts parts = t.parts();
            return sendRingtone(parts, choice);
        };
    });

    std::string soundFile, clock, memory;
    CLI::App* sound = command(app, "sound",
                              "upload an 8-bit mono 11025 Hz WAV file, as \"Load Sound \" does; on a\n"
                              "terminal with a progress bar, Ctrl-C cancels after the block on the line",
                              "tavofoxctl --port 5 sound fox.wav --verify");
    sound->add_option("FILE", soundFile, "the WAV file");
    addVerify(sound, parsed);
    CLI::App* check = command(*sound, "check", "check a file as the upload would, without a timer",
                              "tavofoxctl sound check fox.wav --clock 10000000 --memory 64");
    check->add_option("FILE", soundFile, "the WAV file")->required();
    check->add_option("--clock", clock, "the timer's clock, 8000000 (default) or 10000000")->type_name("HZ");
    check->add_option("--memory", memory, "its sample memory: 0, 32, 64 (default) or 128")->type_name("KIB");
    check->callback(
        [&] { parsed.localJob = [&] { return checkSound(soundFile, clock, memory, out, err); }; });
    sound->callback([&] {
        if (parsed.localJob) return;
        if (soundFile.empty()) throw commandLineError("sound needs a FILE. Run tavofoxctl sound --help");
        checkSoundFile(soundFile);
        parsed.timerJob = [file = soundFile](TimerCommandLine& t) {
            if (!t.connect(false)) return ExitStatus::failed;
            return uploadSound(t.operation(), t.panel(), file);
        };
    });

    try {
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
        } catch (const CLI::ExtrasError&) {
            const auto extras = app.remaining(true);
            const std::string first = extras.empty() ? std::string() : extras.front();
            const auto selected = app.get_subcommands();
            std::string hint = programName;
            for (const CLI::App* sub = selected.empty() ? nullptr : selected.front(); sub;
                 sub = sub->get_subcommands().empty() ? nullptr : sub->get_subcommands().front())
                hint += " " + sub->get_name();
            if (!first.empty() && first[0] == '-') throw unknownCommand(hint, "unknown option " + first);
            if (selected.empty()) throw unknownCommand(hint, "unknown command \"" + first + "\"");
            throw unknownCommand(hint, "unexpected argument \"" + first + "\"");
        } catch (const CLI::ParseError& e) {
            throw unknownCommand(programName, e.what());
        }
        if (parsed.localJob) return parsed.localJob();
        if (!parsed.timerJob) throw commandLineError("a command is needed. Run tavofoxctl --help");
        if (parsed.port.empty()) throw commandLineError("the command needs a timer: --port N");
        const PortChoice port = parsePort(parsed.port);

        std::ofstream traceFile;
        std::optional<LineTrace> trace;
        if (!parsed.trace.empty()) {
            traceFile.open(utf8Path(parsed.trace), std::ios::binary | std::ios::trunc);
            if (!traceFile) throw commandLineError(cannotTrace + parsed.trace);
            trace.emplace(traceFile);
        }
        TimerCommandLine timer(port, in, out, err, sleeper, trace ? &*trace : nullptr);
        return timer.run(*parsed.timerJob, parsed.verify);
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
