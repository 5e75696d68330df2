#include "cli/sound_commands.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/commands.h"
#include "cli/console_panel.h"
#include "core/formats/wav_sound.h"
#include "core/operations/sound_upload.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int barWidth = 30;
// The bar is drawn again when its percentage changes, and at least this often for the times.
constexpr auto redrawInterval = std::chrono::milliseconds(250);
constexpr std::size_t echoedInterrupt = 2;
constexpr int clock684 = 8000000;
constexpr int clock628A = 10000000;
constexpr int defaultMemoryKiB = 64;
constexpr int bytesPerKiB = 1024;

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

bool errorStreamIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}

std::string minutesAndSeconds(double seconds) {
    const auto whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

class ConsoleProgress : public ProgressHandle {
public:
    ConsoleProgress(std::ostream& err, bool drawn) : err_(err), drawn_(drawn) {
        interrupted = 0;
#if defined(_WIN32)
        previous_ = std::signal(SIGINT, onInterrupt);
        hooked_ = previous_ != SIG_ERR;
#else
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        // Writes to the terminal go on; the serial port's waits see the interruption and go on too.
        action.sa_flags = SA_RESTART;
        hooked_ = ::sigaction(SIGINT, &action, &previous_) == 0;
#endif
    }
    ~ConsoleProgress() override {
        close();
    }
    ConsoleProgress(const ConsoleProgress&) = delete;
    ConsoleProgress& operator=(const ConsoleProgress&) = delete;

    void setText(std::string_view) override {}
    void setRange(int lower, int upper, int) override {
        lower_ = lower;
        upper_ = upper;
    }
    int setPosition(int position) override {
        const int previous = position_;
        position_ = position;
        if (!started_) {
            started_ = true;
            start_ = Clock::now();
        }
        draw();
        return previous;
    }
    void pump(bool) override {
        if (interrupted) cancelled_ = true;
    }
    bool cancelled() const override {
        return cancelled_;
    }
    void close() override {
#if defined(_WIN32)
        if (hooked_) std::signal(SIGINT, previous_);
#else
        if (hooked_) ::sigaction(SIGINT, &previous_, nullptr);
#endif
        hooked_ = false;
        // The messages that follow start on a clean line, without the "^C" that the terminal
        // may have echoed after the bar.
        if (drawnLength_ > 0)
            err_ << '\r' << std::string(drawnLength_ + echoedInterrupt, ' ') << '\r' << std::flush;
        drawnLength_ = 0;
        drawn_ = false;
    }

private:
    void draw() {
        if (!drawn_) return;
        const auto now = Clock::now();
        const int span = upper_ - lower_;
        const int percent = span > 0 ? static_cast<int>(std::int64_t{position_ - lower_} * 100 / span) : 0;
        if (drawnLength_ > 0 && percent == lastPercent_ && now - lastDraw_ < redrawInterval) return;
        lastPercent_ = percent;
        lastDraw_ = now;

        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const int done = position_ - lower_;
        const std::string left =
            done > 0 && span > done ? minutesAndSeconds(elapsed * (span - done) / done) : std::string("-:--");
        const int filled = span > 0 ? static_cast<int>(std::int64_t{done} * barWidth / span) : 0;
        const auto block = static_cast<int>(SoundFormat::blockSize);
        char line[160];
        std::snprintf(line, sizeof line, "%3d%% [%s%s] %d/%d blocks  %s elapsed  %s left", percent,
                      std::string(static_cast<std::size_t>(filled), '#').c_str(),
                      std::string(static_cast<std::size_t>(barWidth - filled), ' ').c_str(), done / block,
                      (span + block - 1) / block, minutesAndSeconds(elapsed).c_str(), left.c_str());
        const std::string text = line;
        // Blanks over what a longer line before left behind.
        const std::size_t padding = drawnLength_ > text.size() ? drawnLength_ - text.size() : 0;
        err_ << '\r' << text << std::string(padding, ' ') << std::flush;
        drawnLength_ = text.size() + padding;
    }

    std::ostream& err_;
    bool drawn_;
    std::size_t drawnLength_ = 0;
    bool hooked_ = false;
    bool cancelled_ = false;
    bool started_ = false;
#if defined(_WIN32)
    void (*previous_)(int) = nullptr;
#else
    struct sigaction previous_ {};
#endif
    int lower_ = 0;
    int upper_ = 0;
    int position_ = 0;
    int lastPercent_ = -1;
    Clock::time_point start_{};
    Clock::time_point lastDraw_{};
};

std::optional<int> parseChoice(const std::string& text, std::initializer_list<int> allowed) {
    for (int value : allowed)
        if (text == std::to_string(value)) return value;
    return std::nullopt;
}

} // namespace

std::unique_ptr<ProgressHandle> openConsoleProgress(std::ostream& err) {
    // Only the program's own error stream can be its terminal.
    const bool terminal = &err == &std::cerr && errorStreamIsTerminal();
    return std::make_unique<ConsoleProgress>(err, terminal);
}

int uploadSound(OperationContext& op, ConsolePanel& panel, const std::string& file) {
    panel.answerFile(file);
    return loadSoundSample(op) == Outcome::done ? ExitStatus::ok : ExitStatus::failed;
}

int checkSound(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               std::string& usageProblem) {
    if (args.size() < 2 || args[0] != "check") {
        usageProblem = "sound takes: check FILE [--clock 8000000|10000000] [--memory KIB]";
        return ExitStatus::usage;
    }
    int clockHz = clock684;
    int memoryKiB = defaultMemoryKiB;
    for (std::size_t i = 2; i < args.size(); i += 2) {
        const std::string& option = args[i];
        if ((option != "--clock" && option != "--memory") || i + 1 >= args.size()) {
            usageProblem = "sound check: unknown option or missing value: " + option;
            return ExitStatus::usage;
        }
        const std::optional<int> value = option == "--clock" ? parseChoice(args[i + 1], {clock684, clock628A})
                                                             : parseChoice(args[i + 1], {0, 32, 64, 128});
        if (!value) {
            usageProblem = option == "--clock" ? "--clock takes 8000000 or 10000000, not " + args[i + 1]
                                               : "--memory takes 0, 32, 64 or 128, not " + args[i + 1];
            return ExitStatus::usage;
        }
        (option == "--clock" ? clockHz : memoryKiB) = *value;
    }

    // The same checks and messages as the upload, without a timer.
    if (memoryKiB == 0) {
        err << SoundSampleText::noExternalMemory << '\n';
        return ExitStatus::failed;
    }
    const std::optional<std::vector<std::uint8_t>> content = readSoundFile(args[1]);
    if (!content) {
        err << SoundSampleText::cannotOpen << '\n';
        return ExitStatus::failed;
    }
    const std::optional<SoundSample> sample = convertSoundFile(*content, memoryKiB * bytesPerKiB, clockHz);
    if (!sample) {
        err << SoundSampleText::notWav << '\n';
        return ExitStatus::failed;
    }
    if (sample->truncated) err << SoundSampleText::truncated << '\n';
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", soundLineSeconds(sample->count));
    out << "inputSamples=" << sample->inputSamples << "\noutputSamples=" << sample->count
        << "\nblocks=" << soundBlockCount(sample->count) << "\nlineSeconds=" << seconds << '\n';
    return ExitStatus::ok;
}
