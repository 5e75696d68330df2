// The fault drill: every timer command of tavofoxctl, as a user runs it, against a software
// timer with every fault an operator meets in the field. Each cell is its own pair of
// processes on its own port in its own configuration folder; the cells run side by side.
// The matrix is printed as the table kept in docs/FAULTS.md.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/formats/timer_memory_map.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<char>;

constexpr int parallelCells = 8;
constexpr double cellTimeLimitSeconds = 15.0;
constexpr int emulatorStartLimitMs = 5000;
constexpr int basePort = 501;
constexpr std::size_t parameterMemorySize = 256;
constexpr std::size_t sampleMemorySize = 64 * 1024;

struct Operation {
    std::string name;
    std::vector<std::string> arguments;
    std::string input;
    // The block the operation writes first (none: it writes nothing): the one block a fault
    // may leave half written, with the operation failing.
    int firstBlockAddress = -1;
    int firstBlockLength = 0;
    bool uploads = false;
    // What it says when a block is not written.
    std::string writeFailed;
};

// What an operator should see: the exit status and a text on the error output.
struct Expected {
    int status = 0;
    std::string message;
};

struct Fault {
    std::string name; // "" for the timer without a fault
    // The outcome for an operation of the given kind.
    Expected (*expected)(const Operation&);
};

bool writes(const Operation& op) {
    return op.firstBlockAddress >= 0;
}

const std::string noCommunication = "No Communication with DEVICE possible";

Expected success(const Operation&) {
    return {0, ""};
}
Expected unreachable(const Operation&) {
    return {1, noCommunication};
}
const std::string uploadFailed = "Error in downloading file to I2C memory";
// The failing line gives the system's error text; identify and read send too few bytes to
// reach the fault at 10.
const std::string lineFailed = "Input/output error";

Expected writeFails(const Operation& op) {
    return writes(op) ? Expected{1, op.writeFailed} : Expected{0, ""};
}
Expected uploadFails(const Operation& op) {
    return op.uploads ? Expected{1, uploadFailed} : Expected{0, ""};
}
// Silent after 10 bytes: within the first block written, or the first upload block.
Expected muteFails(const Operation& op) {
    return writes(op) ? Expected{1, op.uploads ? uploadFailed : op.writeFailed} : Expected{0, ""};
}
Expected dropFails(const Operation& op) {
    return writes(op) ? Expected{1, lineFailed} : Expected{0, ""};
}

std::string dataPath(const std::string& name) {
    return std::string(TAVOFOX_TEST_DATA) + "/" + name;
}

std::string binPath(const std::string& program) {
    const char* binDir = std::getenv("TAVOFOX_BIN_DIR");
    return std::string(binDir ? binDir : "build/bin") + "/" + program;
}

Bytes readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Starts program with the arguments, its standard streams on files, XDG_CONFIG_HOME = home.
pid_t spawn(const std::string& program, const std::vector<std::string>& arguments, const fs::path& home,
            const fs::path& in, const fs::path& out, const fs::path& err) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        if (std::string(*entry).rfind("XDG_CONFIG_HOME=", 0) != 0) environment.emplace_back(*entry);
    environment.push_back("XDG_CONFIG_HOME=" + home.string());
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int exitStatusOf(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

std::string text(const fs::path& path) {
    const Bytes bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

struct Cell {
    int status = -1;
    double seconds = 0;
    std::string err;
    std::string problem; // empty when the cell's outcome is right
};

// The erased timer the drill starts from: parameter memory all 0xFF except a known
// configuration, samples all 0xFF.
Bytes startMemory() {
    Bytes memory(parameterMemorySize, static_cast<char>(0xFF));
    return memory;
}

bool sameOutside(const Bytes& a, const Bytes& b, int from, int length) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool inside = static_cast<int>(i) >= from && static_cast<int>(i) < from + length;
        if (!inside && a[i] != b[i]) return false;
    }
    return true;
}

struct Memories {
    Bytes parameter;
    Bytes samples;
    Bytes received; // every byte the timer received, in order
};

Cell runCell(const Operation& op, const Fault& fault, int port, const fs::path& root, Memories& after) {
    Cell cell;
    const fs::path dir = root / ("cell" + std::to_string(port));
    fs::create_directories(dir / "config");
    const fs::path eeprom = dir / "eeprom.bin";
    writeFile(eeprom, startMemory());
    writeFile(eeprom.string() + ".samples", Bytes(sampleMemorySize, static_cast<char>(0xFF)));
    writeFile(dir / "in.txt", Bytes(op.input.begin(), op.input.end()));

    std::vector<std::string> emulatorArgs{"--port",     std::to_string(port),
                                          "--eeprom",   eeprom.string(),
                                          "--received", (dir / "received.bin").string()};
    if (!fault.name.empty()) emulatorArgs.insert(emulatorArgs.end(), {"--fault", fault.name});
    const pid_t emulator = spawn(binPath("tavofox-emulator"), emulatorArgs, dir / "config", "/dev/null",
                                 dir / "emulator.out", dir / "emulator.err");
    if (emulator < 0) {
        cell.problem = "emulator did not start";
        return cell;
    }
    const auto started = Clock::now();
    while (text(dir / "emulator.out").find("COM") == std::string::npos &&
           Clock::now() - started < std::chrono::milliseconds(emulatorStartLimitMs))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (text(dir / "emulator.out").find("COM") == std::string::npos) {
        kill(emulator, SIGTERM);
        exitStatusOf(emulator);
        cell.problem = "emulator did not start";
        return cell;
    }

    std::vector<std::string> ctlArgs{"--port", std::to_string(port)};
    ctlArgs.insert(ctlArgs.end(), op.arguments.begin(), op.arguments.end());
    const auto begin = Clock::now();
    const pid_t ctl = spawn(binPath("tavofoxctl"), ctlArgs, dir / "config", dir / "in.txt", dir / "out.txt",
                            dir / "err.txt");
    cell.status = ctl < 0 ? -1 : exitStatusOf(ctl);
    cell.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    kill(emulator, SIGTERM);
    exitStatusOf(emulator);
    cell.err = text(dir / "err.txt");
    after.parameter = readFile(eeprom);
    after.samples = readFile(eeprom.string() + ".samples");
    after.received = readFile(dir / "received.bin");
    return cell;
}

// The first line of the error output that is no progress bar, cut short for the table.
std::string shortMessage(const std::string& err) {
    std::istringstream lines(err);
    std::string line, last;
    while (std::getline(lines, line)) {
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (line.empty() || line.find('[') != std::string::npos || line.rfind("Tuning from", 0) == 0 ||
            line.rfind("Trying do download", 0) == 0 || line.rfind("No settings stored", 0) == 0)
            continue;
        last = line;
    }
    if (last.size() > 40) last = last.substr(0, 37) + "...";
    return last;
}

TEST(FaultDrill, EveryCommandAgainstEveryFault) {
    using namespace TimerMemoryMap;
    const std::vector<Operation> operations{
        {"identify", {"identify"}, "", -1, 0, false, ""},
        {"read", {"read"}, "", -1, 0, false, ""},
        {"write",
         {"write", "cycleId=3", "transmitMode=1"},
         "",
         configAddress,
         configLength,
         false,
         "Error in setting configuration"},
        {"tone-sequence",
         {"tone-sequence", "800,10,1200,10"},
         "",
         toneSequenceAddress,
         toneSequenceLength,
         false,
         "Error in downloading Tone Sequence"},
        {"transmit-sequence",
         {"transmit-sequence", "60:tone-sequence", "30:cw-message"},
         "",
         transmitSequenceAddress,
         transmitSequenceLength,
         false,
         "Error in downloading Transmit Sequence"},
        {"tune --write",
         {"tune", "--write"},
         "ok\n",
         configAddress,
         configLength,
         false,
         "Error in setting configuration"},
        {"ringtone send",
         {"ringtone", "send", dataPath("ringtone/worked_example_crlf.rtt")},
         "",
         ringtoneAddress,
         ringtoneLength,
         false,
         "Error in downloading Ringtone Sequence"},
        // The samples go up first; the sound's length block is the one write.
        {"sound",
         {"sound", dataPath("sound/square.wav")},
         "",
         soundLengthAddress,
         soundLengthLength,
         true,
         "Error in downloading file to I2C memory"},
    };
    const std::vector<Fault> faults{
        {"", success},
        {"stray", success},
        {"wake-gt", success},
        {"silent", unreachable},
        {"noisy", unreachable},
        {"bad-checksum", uploadFails},
        {"no-hash@1", writeFails},
        {"wrong-hash@1", writeFails},
        {"mute@10", muteFails},
        {"drop@10", dropFails},
    };

    char pattern[] = "/tmp/tavofox-drill-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    const std::size_t columns = faults.size();
    const std::size_t cellCount = operations.size() * columns;
    std::vector<Cell> cells(cellCount);
    std::vector<Memories> memories(cellCount);
    std::atomic<std::size_t> next{0};
    const auto begin = Clock::now();
    std::vector<std::thread> workers;
    for (int w = 0; w < parallelCells; ++w)
        workers.emplace_back([&] {
            for (std::size_t i = next++; i < cellCount; i = next++)
                cells[i] = runCell(operations[i / columns], faults[i % columns],
                                   basePort + static_cast<int>(i), root, memories[i]);
        });
    for (std::thread& worker : workers)
        worker.join();
    const double total = std::chrono::duration<double>(Clock::now() - begin).count();

    const Bytes before = startMemory();
    for (std::size_t i = 0; i < cellCount; ++i) {
        const Operation& op = operations[i / columns];
        const Fault& fault = faults[i % columns];
        Cell& cell = cells[i];
        const Memories& baseline = memories[i - i % columns];
        const Expected expected = fault.expected(op);
        std::string& problem = cell.problem;
        // A cell that could not run is as wrong as one that ran wrong.
        if (!problem.empty()) {
        } else if (cell.status != expected.status)
            problem = "exit " + std::to_string(cell.status) + ", not " + std::to_string(expected.status);
        else if (!expected.message.empty() && cell.err.find(expected.message) == std::string::npos)
            problem = "no \"" + expected.message + "\"";
        else if (cell.seconds > cellTimeLimitSeconds)
            problem = "too slow";
        else if (cell.status == 0 &&
                 (memories[i].parameter != baseline.parameter || memories[i].samples != baseline.samples))
            problem = "memory differs from the timer without a fault";
        else if (cell.status != 0 &&
                 !sameOutside(memories[i].parameter, before, op.firstBlockAddress, op.firstBlockLength))
            problem = "memory changed beyond the failed block";
        // Only a sound whose blocks were all confirmed before its length failed leaves samples.
        else if (cell.status != 0 && fault.name.find("hash") == std::string::npos &&
                 memories[i].samples != Bytes(sampleMemorySize, static_cast<char>(0xFF)))
            problem = "samples changed";
        else if (i % columns == 0 && writes(op) &&
                 (memories[i].parameter.size() != before.size() ||
                  std::equal(before.begin() + op.firstBlockAddress,
                             before.begin() + op.firstBlockAddress + op.firstBlockLength,
                             memories[i].parameter.begin() + op.firstBlockAddress)))
            problem = "the block is not there";
        EXPECT_EQ(problem, "") << op.name << " / " << (fault.name.empty() ? "none" : fault.name) << ": "
                               << cell.err;
    }

    // The table, in Markdown: one row an operation, one column a fault.
    std::ostringstream table;
    table << "| command |";
    for (const Fault& fault : faults)
        table << ' ' << (fault.name.empty() ? "no fault" : fault.name) << " |";
    table << "\n|---|";
    for (std::size_t c = 0; c < columns; ++c)
        table << "---|";
    table << '\n';
    for (std::size_t r = 0; r < operations.size(); ++r) {
        table << "| " << operations[r].name << " |";
        for (std::size_t c = 0; c < columns; ++c) {
            const Cell& cell = cells[r * columns + c];
            char seconds[16];
            std::snprintf(seconds, sizeof seconds, "%.1f s", cell.seconds);
            const std::string message = shortMessage(cell.err);
            table << ' ' << cell.status << (message.empty() ? "" : " " + message) << ", " << seconds
                  << (cell.problem.empty() ? "" : " **WRONG: " + cell.problem + "**") << " |";
        }
        table << '\n';
    }
    std::printf("%s\n%zu cells in %.0f s\n", table.str().c_str(), cellCount, total);
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

// A whole setup written with a ringtone, stopped with Ctrl-C at each block (the emulator's
// interrupt fault signals the program as the byte arrives), and a wrong acknowledgement in
// the CW block. Each block on the line is finished, none starts after the stop, and a
// written configuration block is still applied: the line ends where the table says.
TEST(FaultDrill, CtrlCAtEachBlockAndAWrongAcknowledgementInTheCwBlock) {
    char pattern[] = "/tmp/tavofox-drill-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    const std::string setup = (root / "fox3.tavofox").string();
    std::ofstream(setup) << "cycleId=3\ncwText=DE PA3XYZ FOX\nringtone=Example:d=4,o=5,b=120:8a,4a,8c.6,p\n";
    const Operation write{"write --from", {"write", "--from", setup}, "", -1, 0, false, ""};
    // The issue's own example: the wrong "#" comes from byte 20 of every block on, which
    // only the CW block reaches.
    const Operation cwOnly{"write", {"write", "cycleId=3", "cwText=DE PA3XYZ FOX"}, "", -1, 0, false, ""};
    // Wake, identify and read are bytes 1 to 3, the setup write's own read byte 4; then "W",
    // address, count and the data of the ringtone (bytes 5 to 135), the configuration (136
    // to 151) and the CW block (152 to 186); the apply, which a setup write always sends, is
    // byte 187, or the byte after the last block begun; the read-back of a whole write 188.
    const std::string stopped = "tavofoxctl: interrupted; written and applied: ringtone block at 128";
    const std::string applied = stopped + ", configuration block at 0";
    struct Case {
        const Operation* operation;
        std::string fault;
        int status;
        std::string lastLine;
        std::size_t lineEnd; // bytes received in all
        int blocksWhole;     // of ringtone, configuration, CW, in this order
    };
    const std::vector<Case> cases{
        {&write, "", 0, "", 188, 3},
        {&write, "interrupt@33", 130, stopped, 136, 1},
        {&write, "interrupt@135", 130, stopped, 136, 1},
        {&write, "interrupt@140", 130, applied, 152, 2},
        {&write, "interrupt@160", 130, applied + ", CW block at 32", 188, 3},
        {&write, "interrupt@187", 130, applied + ", CW block at 32", 188, 3},
        {&cwOnly, "wrong-hash@20", 1, "configuration applied; CW message not written", 55, 0},
    };
    std::vector<Memories> memories(cases.size());
    std::vector<Cell> cells(cases.size());
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < cases.size(); ++i)
        workers.emplace_back([&, i] {
            cells[i] = runCell(*cases[i].operation, {cases[i].fault, success},
                               basePort + 100 + static_cast<int>(i), root, memories[i]);
        });
    for (std::thread& worker : workers)
        worker.join();

    using namespace TimerMemoryMap;
    const Bytes& whole = memories[0].parameter;
    const Bytes erased = startMemory();
    const auto holds = [](const Bytes& memory, const Bytes& model, int at, int length) {
        return memory.size() == model.size() &&
               std::equal(memory.begin() + at, memory.begin() + at + length, model.begin() + at);
    };
    const std::array<std::pair<int, int>, 3> blocks{{{ringtoneAddress, ringtoneLength},
                                                     {configAddress, configLength},
                                                     {cwMessageAddress, cwMessageLength}}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const Memories& after = memories[i];
        EXPECT_EQ(cells[i].problem, "") << c.fault;
        EXPECT_EQ(cells[i].status, c.status) << c.fault << ": " << cells[i].err;
        EXPECT_TRUE(cells[i].err.ends_with(c.lastLine + "\n")) << c.fault << ": " << cells[i].err;
        EXPECT_EQ(after.received.size(), c.lineEnd) << c.fault;
        // Every block the program began is whole in the timer, none after the stop was begun.
        for (int b = 0; b < c.blocksWhole; ++b)
            EXPECT_TRUE(holds(after.parameter, whole, blocks[b].first, blocks[b].second))
                << c.fault << " " << b;
        for (int b = c.blocksWhole; c.operation == &write && b < 3; ++b)
            EXPECT_TRUE(holds(after.parameter, erased, blocks[b].first, blocks[b].second))
                << c.fault << " " << b;
        // The apply after a finished block was taken as a command, not stored as text.
        EXPECT_EQ(std::count(after.parameter.begin() + cwMessageAddress,
                             after.parameter.begin() + cwMessageAddress + cwMessageLength, '@'),
                  0)
            << c.fault;
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

} // namespace
