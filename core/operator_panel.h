#pragma once
// The seam between timer operations and the person who operates them: the Qt window, the
// command line, or a scripted test panel. No Qt types may appear here.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

enum class MessageIcon { Warning, Stop };

// What the ringtone editor hands back when it closes with OK: the file it was given or
// last chose, and the melody of its last successful encoding.
struct RingtoneChoice {
    std::string filePath;
    bool melodyValid = false;
    std::array<std::uint8_t, 128> melody{}; // the block at address 128
};

// A progress display for a long operation: a text line, a bar over a range, and a way for
// the operator to cancel. The operation polls it between its steps.
class ProgressHandle {
public:
    virtual ~ProgressHandle() = default;
    virtual void setText(std::string_view text) = 0;
    virtual void setRange(int lower, int upper, int step) = 0;
    // Moves the bar; gives its previous position.
    virtual int setPosition(int position) = 0;
    // Lets the display and the operator catch up; with escapeCancels the Escape key cancels.
    virtual void pump(bool escapeCancels) = 0;
    virtual bool cancelled() const = 0;
    // Ends the display; the destructor does it too.
    virtual void close() = 0;
};

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

    // Editors: each returns the edited value, or nothing when the operator cancelled.
    virtual std::optional<std::string> editToneSequence(const std::string& text) = 0;
    // The transmit-sequence editor: the 16-byte step table in, the edited table out.
    virtual std::optional<std::array<std::uint8_t, 16>>
    editTransmitSequence(const std::array<std::uint8_t, 16>& table) = 0;
    // The oscillator tuning dialog, opened on the current trim. Every trim the operator
    // selects goes to sendTrim at once, while the dialog is open, so that the operator sees
    // its effect on the timer (sendTrim answers whether the timer echoed it). Gives the
    // trim chosen with OK (the current one when the selection never changed).
    virtual std::optional<int> tuneOscillator(int current, const std::function<bool(int trim)>& sendTrim) = 0;
    // The ringtone dialog, opened with the file last used; nothing when it was closed
    // without "Send to TAVO unit".
    virtual std::optional<RingtoneChoice> editRingtone(const std::string& filePath) = 0;

    // The open-file choice. filter lists pairs of a label and a pattern, each followed by
    // '|', and ends with a second '|' ("Audio Files (*.wav)|*.wav|All Files (*.*)|*.*||");
    // the file must exist. The chosen full path, or nothing when the operator cancelled.
    virtual std::optional<std::string> chooseFileToOpen(std::string_view filter,
                                                        std::string_view defaultExtension,
                                                        const std::string& initialName) = 0;
    // A question with Yes and No; a panel that cannot ask answers No.
    virtual bool confirm(std::string_view question) {
        (void)question;
        return false;
    }
    // Opens a progress display with a title and a smooth or segmented bar; nothing when it
    // cannot be shown.
    virtual std::unique_ptr<ProgressHandle> openProgress(std::string_view title, bool smooth) = 0;
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
