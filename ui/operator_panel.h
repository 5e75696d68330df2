#pragma once
// The seam between timer operations and whoever operates them: the Qt window,
// the command line, or a scripted test panel. No Qt types may appear here.

#include <optional>
#include <string>
#include <string_view>

struct TimerSettings;

enum class MessageIcon { Warning, Stop };

class OperatorPanel {
public:
    virtual ~OperatorPanel() = default;

    // A modal message with one OK button.
    virtual void showMessage(std::string_view text, MessageIcon icon = MessageIcon::Warning) = 0;

    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // A fixed wait of the timer's protocol (the program is blocked during it).
    virtual void sleepMs(int ms) = 0;
    virtual void playInformationSound() = 0;
    virtual void playErrorSound() = 0;

    // Port number attached to the selected port-list entry, -1 when nothing is selected.
    virtual int selectedPortNumber() = 0;
    virtual void setIdentityText(std::string_view text) = 0;
    // Enables the five link buttons exactly when connected is true.
    virtual void updateLinkControls(bool connected) = 0;

    // Form exchange: the operator's controls into settings (with checks; false after
    // the first failing field, which has been reported), and settings into the controls.
    virtual bool readForm(TimerSettings& settings) = 0;
    virtual void showForm(const TimerSettings& settings) = 0;
    // updateTransmitModeControls, updateAudioModeControls, updateRecoveryBeaconControls, in that order.
    virtual void updateModeControls(const TimerSettings& settings) = 0;

    // Editors: each returns the edited value, or nothing when the operator cancelled.
    virtual std::optional<std::string> editToneSequence(const std::string& text) = 0;
};

// Shows the wait cursor for the life of the guard.
class WaitCursor {
public:
    explicit WaitCursor(OperatorPanel& panel) : panel_(panel) { panel_.beginWaitCursor(); }
    ~WaitCursor() { panel_.endWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    OperatorPanel& panel_;
};
