#include "cli/console_progress.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "core/formats/wav_sound.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int barWidth = 30;
// The bar is drawn again when its percentage changes, and at least this often for the times.
constexpr auto redrawInterval = std::chrono::milliseconds(250);
constexpr std::size_t echoedInterrupt = 2;

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
    ConsoleProgress(std::ostream& err, bool drawn) : err_(err), drawn_(drawn) {}
    ~ConsoleProgress() override { close(); }
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
    // Ctrl-C reaches the upload as the core's interrupt, not as a cancel of the display.
    void pump(bool) override {}
    bool cancelled() const override { return false; }
    void close() override {
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
    bool started_ = false;
    int lower_ = 0;
    int upper_ = 0;
    int position_ = 0;
    int lastPercent_ = -1;
    Clock::time_point start_{};
    Clock::time_point lastDraw_{};
};

} // namespace

std::unique_ptr<ProgressHandle> openConsoleProgress(std::ostream& err) {
    // Only the program's own error stream can be its terminal.
    const bool terminal = &err == &std::cerr && errorStreamIsTerminal();
    return std::make_unique<ConsoleProgress>(err, terminal);
}
