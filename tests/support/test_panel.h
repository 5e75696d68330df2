#pragma once
// A scripted operator: records what operations show and answers the editors from a
// script. Pauses return at once; everything else is as the window would do it.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"

// Both the person and the form: a test sees every event in one order.
class TestPanel : public OperatorPanel, public SettingsView {
public:
    void showMessage(std::string_view text, MessageIcon icon) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void sleepMs(int ms) override;
    void playInformationSound() override;
    void playErrorSound() override;
    int selectedPortNumber() override { return port; }
    void setIdentityText(std::string_view text) override;
    void updateLinkControls(bool connected) override;
    bool readForm(TimerSettings& settings) override;
    void showForm(const TimerSettings& settings) override;
    void updateModeControls(const TimerSettings& settings) override;
    std::optional<std::string> editToneSequence(const std::string& text) override;
    std::optional<std::array<std::uint8_t, 16>>
    editTransmitSequence(const std::array<std::uint8_t, 16>& table) override;
    std::optional<int> tuneOscillator(int current, const std::function<bool(int)>& sendTrim) override;
    std::optional<RingtoneChoice> editRingtone(const std::string& filePath) override;
    std::optional<std::string> chooseFileToOpen(std::string_view filter, std::string_view defaultExtension,
                                                const std::string& initialName) override;
    std::unique_ptr<ProgressHandle> openProgress(std::string_view title, bool smooth) override;

    // Texts of the messages shown, in order.
    std::vector<std::string> messageTexts() const;

    struct Message {
        std::string text;
        MessageIcon icon;
    };
    std::vector<Message> messages;
    // "wait+", "wait-", "sleep <ms>", "info", "error", "link <0|1>", "readForm", "showForm",
    // "modes", "identity <text>", "message <text>", "edit", "edit steps", "tune <current>",
    // "trim <value> <echoed 0|1>", "ringtone", "file", "progress+", "progress-"
    std::vector<std::string> events;
    int port = -1;
    std::string identity;
    bool linkEnabled = false;
    int waitDepth = 0;
    int totalSleepMs = 0;
    // What the form holds: readForm copies it into the settings when set.
    std::optional<TimerSettings> form;
    bool formValid = true;
    std::optional<TimerSettings> shownForm;
    std::optional<std::string> toneSequenceAnswer; // nothing = the operator cancels
    std::string toneSequenceShown;
    std::optional<std::array<std::uint8_t, 16>> transmitSequenceAnswer; // nothing = cancel
    std::optional<std::array<std::uint8_t, 16>> transmitSequenceShown;
    // The operator at the tuning dialog: selects these trims in turn, then OK or Cancel.
    std::vector<int> tuneSelections;
    bool tuneAccepted = true;
    std::optional<RingtoneChoice> ringtoneAnswer; // nothing = the operator closes the dialog
    std::string ringtoneFileShown;

    std::optional<std::string> fileAnswer; // nothing = the operator cancels
    struct FileChoice {
        std::string filter;
        std::string extension;
        std::string initialName;
    };
    std::vector<FileChoice> fileChoices;

    // What the last progress display was given.
    struct Progress {
        std::string title;
        bool smooth = true;
        std::string text;
        int lower = 0;
        int upper = 0;
        std::vector<int> positions;
        int pumps = 0;
        bool escapeCancels = false;
        bool open = false;
        bool cancelled = false;
    };
    Progress progress;
    // The operator cancels during this pump of the display (0 = the first); -1 = never.
    int cancelAtPump = -1;
};
