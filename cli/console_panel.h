#pragma once
// The operator's panel on a console: messages go to the error stream, one per line, the
// editors are answered by the command line's arguments, and nobody is waited for.

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/operator_panel.h"
#include "core/settings_view.h"

// The console is both the person and the form.
class ConsolePanel : public OperatorPanel, public SettingsView {
public:
    using Sleeper = std::function<void(int ms)>;
    // Plays the operator at the tuning dialog.
    using Tuner = std::function<std::optional<int>(int current, const std::function<bool(int)>& sendTrim)>;

    ConsolePanel(int port, std::ostream& err, Sleeper sleeper);

    void showMessage(std::string_view text, MessageIcon icon) override;
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void sleepMs(int ms) override;
    void playInformationSound() override {}
    void playErrorSound() override {}
    int selectedPortNumber() override { return port_; }
    void setIdentityText(std::string_view text) override { identity_ = std::string(text); }
    void updateLinkControls(bool) override {}
    // The console's values are checked before an operation starts, so the form stands as it is.
    bool readForm(TimerSettings&) override { return true; }
    void showForm(const TimerSettings&) override {}
    void updateModeControls(const TimerSettings&) override {}
    std::optional<std::string> editToneSequence(const std::string&) override { return toneSequenceAnswer_; }
    std::optional<std::array<std::uint8_t, 16>>
    editTransmitSequence(const std::array<std::uint8_t, 16>&) override {
        return transmitSequenceAnswer_;
    }
    std::optional<int> tuneOscillator(int current, const std::function<bool(int)>& sendTrim) override {
        return tuner_ ? tuner_(current, sendTrim) : std::nullopt;
    }
    std::optional<RingtoneChoice> editRingtone(const std::string&) override { return ringtoneAnswer_; }
    std::optional<std::string> chooseFileToOpen(std::string_view, std::string_view,
                                                const std::string&) override {
        return fileAnswer_;
    }
    // A bar on the error stream when that is a terminal; Ctrl-C cancels.
    std::unique_ptr<ProgressHandle> openProgress(std::string_view title, bool smooth) override;

    void answerToneSequence(std::string text) { toneSequenceAnswer_ = std::move(text); }
    void answerTransmitSequence(const std::array<std::uint8_t, 16>& table) {
        transmitSequenceAnswer_ = table;
    }
    void answerTuning(Tuner tuner) { tuner_ = std::move(tuner); }
    void answerRingtone(RingtoneChoice choice) { ringtoneAnswer_ = std::move(choice); }
    void answerFile(std::string path) { fileAnswer_ = std::move(path); }
    const std::string& identity() const { return identity_; }

private:
    int port_;
    std::ostream& err_;
    Sleeper sleeper_;
    std::string identity_;
    std::optional<std::string> toneSequenceAnswer_;
    std::optional<std::array<std::uint8_t, 16>> transmitSequenceAnswer_;
    Tuner tuner_;
    std::optional<RingtoneChoice> ringtoneAnswer_;
    std::optional<std::string> fileAnswer_;
};
