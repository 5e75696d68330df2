#pragma once
// What the "Ring Tone Dialog" does, free of any toolkit: its values and their form
// exchange with checks, "Load File" (the first line of an RTTTL file, its sections, the
// encoding), "Pre-View" and the OK check of "Send to TAVO unit". The Qt dialog and the
// command line drive it through RingtoneForm.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/form/settings_form.h"
#include "core/formats/ringtone.h"
#include "core/operator_panel.h"

namespace RingtoneText {
inline constexpr const char* cannotOpen = "ERROR: The Ringtonefile can not be opened\n";
inline constexpr const char* cannotRead = "Data can not be read from ringtone";
inline constexpr const char* tooLong = "Ringtone is too long";
inline constexpr const char* parserError = "Error in Ringtone parser\n";
inline constexpr const char* octaveNotSupported = "Octave 8 (notes > 3000 Hz)\nis not supported";
inline constexpr const char* truncated = "Melody truncated, Does not fit in EEPROM storage";
inline constexpr const char* notImplemented = "Not implemented in this version";
// The default duration, then the slowest tempo it allows.
inline constexpr const char* tempoTooSlow =
    "With Duration %d the slowest tempo the timer plays is %d Beats/Min: it keeps a whole note of at most "
    "8191 ms.";
} // namespace RingtoneText

// The first line of a ringtone file must be shorter than this.
inline constexpr std::size_t ringtoneMaxLineLength = 512;

// The dialog's form, in the order of its exchange.
enum class RingtoneField {
    rtttlText,
    defaultOctave,
    defaultDuration,
    beatsPerMinute,
    notesDefined,
    eeDataSize,
    staccato
};

// The range checked when the form is read; the text and the counts have none.
std::optional<IntRange> ringtoneFieldRange(RingtoneField field);

// The dialog's side: its controls, its message boxes and its sound.
class RingtoneForm {
public:
    virtual ~RingtoneForm() = default;
    // The text of a field's control; a check box gives "1" or "0".
    virtual std::string controlText(RingtoneField field) = 0;
    virtual void setControlText(RingtoneField field, const std::string& text) = 0;
    // A failed check: its message, and the focus on the field's control.
    virtual void reportFormFailure(RingtoneField field, std::string_view message) = 0;
    virtual void showMessage(std::string_view text) = 0;
    // Returns once the tones have played, or the operator stopped them.
    virtual void playPreview(const std::vector<PlayedTone>& tones) = 0;
};

class RingtoneDialogModel {
public:
    RingtoneDialogModel(RingtoneForm& form, std::string filePath);

    // The controls into the values, in the exchange order, stopping at the first failed
    // check (reported; the values after it stay as they were).
    bool readForm();
    void showForm();

    // "Load File" with the file the operator chose.
    void loadRingtoneFile(const std::string& path);
    // Encodes noteText with the form's values into melody, notesDefined and eeDataSize.
    bool encodeRingtone(std::string_view noteText);
    // "Pre-View": the notes of the last "Load File" with the tempo the form holds now.
    void previewRingtone();
    // "Compact Ringtone", "Shift Octave Up" and "Shift Octave Down".
    void notImplemented();
    // "Send to TAVO unit": true when the dialog may close with OK.
    bool accept() { return readForm(); }

    // What loadRingtone takes from a dialog closed with OK.
    RingtoneChoice choice() const { return {filePath, melodyValid, melody}; }
    RingtoneDefaults defaults() const { return {defaultOctave, defaultDuration, beatsPerMinute}; }

    std::string rtttlText;
    int defaultOctave = 6;
    int defaultDuration = 4;
    int beatsPerMinute = 63;
    int notesDefined = 0;
    int eeDataSize = 0;
    bool staccato = true;
    std::string filePath;
    RingtoneMelody melody{};
    bool melodyValid = false;
    std::string noteText;

private:
    RingtoneForm& form_;
};
