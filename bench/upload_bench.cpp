// How close the sound sample upload comes to what the line itself allows.
//
// A block of the external memory costs 46 bytes on the line: U, the count and three address
// bytes, each with its echo, the 32 data bytes, the timer's checksum, G with its echo and
// the '#'. Against a software timer that carries every byte, both ways, at the pace of a
// 19200-baud 8N2 line (11 bits), this uploads 64 KiB through the operation, with the
// progress window (offscreen unless QT_QPA_PLATFORM says otherwise) updated and pumped before
// every block as the window does it, and prints the time against that bound.
//
//     upload_bench [KIB]      (default 64)

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QWidget>

#include "core/formats/wav_sound.h"
#include "core/link/timer_command.h"
#include "core/link/timer_session.h"
#include "core/operations/sound_upload.h"
#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"
#include "emulator/pty_runner.h"
#include "emulator/timer_emulator.h"
#include "gui/progress_window.h"

namespace {

using Clock = std::chrono::steady_clock;

// The progress window, with the time spent in its updates and pumps counted.
class TimedProgress : public ProgressHandle {
public:
    TimedProgress(QWidget* mainWindow, double& seconds, int& calls)
        : window_(mainWindow, "", false), seconds_(seconds), calls_(calls) {}

    void setText(std::string_view text) override { window_.setText(text); }
    void setRange(int lower, int upper, int step) override { window_.setRange(lower, upper, step); }
    int setPosition(int position) override {
        const auto start = Clock::now();
        const int previous = window_.setPosition(position);
        seconds_ += std::chrono::duration<double>(Clock::now() - start).count();
        return previous;
    }
    void pump(bool escapeCancels) override {
        const auto start = Clock::now();
        window_.pump(escapeCancels);
        seconds_ += std::chrono::duration<double>(Clock::now() - start).count();
        ++calls_;
    }
    bool cancelled() const override { return window_.cancelled(); }
    void close() override { window_.close(); }

private:
    ProgressWindowHandle window_;
    double& seconds_;
    int& calls_;
};

// Nobody at the panel: no waits, no sounds, no messages; only the progress window.
class BenchPanel : public OperatorPanel, public SettingsView {
public:
    explicit BenchPanel(int port, QWidget& mainWindow) : port_(port), mainWindow_(mainWindow) {}

    void showMessage(std::string_view text, MessageIcon) override {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void sleepMs(int) override {}
    void playInformationSound() override {}
    void playErrorSound() override {}
    std::optional<std::string> editToneSequence(const std::string&) override { return std::nullopt; }
    std::optional<std::array<std::uint8_t, 16>>
    editTransmitSequence(const std::array<std::uint8_t, 16>&) override {
        return std::nullopt;
    }
    std::optional<int> tuneOscillator(int, const std::function<bool(int)>&) override { return std::nullopt; }
    std::optional<RingtoneChoice> editRingtone(const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseFileToOpen(std::string_view, std::string_view,
                                                const std::string&) override {
        return std::nullopt;
    }
    std::unique_ptr<ProgressHandle> openProgress(std::string_view, bool) override {
        return std::make_unique<TimedProgress>(&mainWindow_, progressSeconds, progressCalls);
    }
    bool readForm(TimerSettings&) override { return true; }
    void showForm(const TimerSettings&) override {}
    void updateModeControls(const TimerSettings&) override {}
    int selectedPortNumber() override { return port_; }
    void setIdentityText(std::string_view) override {}
    void updateLinkControls(bool) override {}

    double progressSeconds = 0;
    int progressCalls = 0;

private:
    int port_;
    QWidget& mainWindow_;
};

} // namespace

int main(int argc, char** argv) {
    const int kib = argc > 1 ? std::atoi(argv[1]) : 64;
    if (kib < 1 || kib > 128) {
        std::fprintf(stderr, "usage: upload_bench [KIB]   (1..128, default 64)\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    QApplication app(argc, argv);
    QWidget mainWindow;
    mainWindow.resize(400, 300);
    mainWindow.show();

    char folder[] = "/tmp/tavofox-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("XDG_CONFIG_HOME", folder, 1);

    // What one echoed command costs on this machine's pseudo-terminals without any pacing:
    // the floor of each of the seven turnarounds of a block.
    double bareEchoUs = 0;
    {
        TimerEmulator unpaced;
        PtyRunner runner(unpaced, 202);
        runner.start();
        BenchPanel panel(202, mainWindow);
        TimerSettings settings;
        TimerSession session(panel, panel, settings);
        if (!session.wakeTimer()) {
            std::fprintf(stderr, "no answer from the software timer\n");
            return 1;
        }
        constexpr int echoes = 2000;
        const auto start = Clock::now();
        for (int i = 0; i < echoes; ++i)
            session.echoCommand(TimerCommand::testMode);
        bareEchoUs = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / echoes;
        session.close();
    }

    constexpr int port = 201;
    TimerEmulator emulator(TimerEmulator::Model::Pic684, 128);
    PtyRunner runner(emulator, port, /*paced=*/true);
    runner.start();

    BenchPanel panel(port, mainWindow);
    TimerSettings settings;
    TimerSession session(panel, panel, settings);
    OperationContext operation{session, panel, panel, settings};
    if (!session.wakeTimer()) {
        std::fprintf(stderr, "no answer from the software timer\n");
        return 1;
    }

    const std::size_t count = static_cast<std::size_t>(kib) * 1024;
    std::vector<std::uint8_t> samples(count);
    std::uint32_t noise = 12345;
    for (std::uint8_t& sample : samples) {
        noise = noise * 1103515245u + 12345u;
        sample = static_cast<std::uint8_t>(noise >> 16);
    }

    const auto start = Clock::now();
    const Outcome outcome = uploadSoundSample(operation, samples, count);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    session.close();

    bool stored = false;
    runner.withEmulator([&](TimerEmulator& timer) {
        stored = std::equal(samples.begin(), samples.end(), timer.externalMemory().begin());
    });
    runner.stop();
    std::filesystem::remove_all(folder);
    if (outcome != Outcome::done || !stored) {
        std::fprintf(stderr, "the upload failed\n");
        return 1;
    }

    const std::size_t blocks = soundBlockCount(count);
    const double bound = soundLineSeconds(count);
    std::printf("upload of %zu bytes (%zu blocks):  %8.3f s\n", count, blocks, seconds);
    std::printf("wire-time bound:                     %8.3f s (%d bytes of %d bits at %d baud a block)\n",
                bound, SoundFormat::lineBytesPerBlock, SoundFormat::bitsPerLineByte, SoundFormat::lineBaud);
    std::printf("progress updates and pumps:          %8.3f s in %d rounds (%.2f %% of the upload)\n",
                panel.progressSeconds, panel.progressCalls, 100 * panel.progressSeconds / seconds);
    // U, count, three address bytes, the checksum, and G with its '#'.
    constexpr int turnaroundsPerBlock = 7;
    const double turnarounds = static_cast<double>(blocks) * turnaroundsPerBlock;
    std::printf("above the line per turnaround:       %8.1f us (%d a block; a bare echo here: %.1f us)\n",
                (seconds - bound - panel.progressSeconds) * 1e6 / turnarounds, turnaroundsPerBlock,
                bareEchoUs);
    std::printf("ratio %.4f\n", seconds / bound);
    return 0;
}
