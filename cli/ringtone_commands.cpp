#include "cli/ringtone_commands.h"

#include <fstream>
#include <map>
#include <optional>
#include <ostream>

#include "cli/commands.h"
#include "core/decimal.h"
#include "core/form/settings_form.h"
#include "core/form/settings_text.h"
#include "core/formats/tone_synthesis.h"
#include "core/formats/utf8_path.h"
#include "core/operations/ringtone_dialog_model.h"
#include "core/operations/ringtone_load.h"
#include "core/timer_settings.h"

namespace {

// The dialog's controls as the command line fills them: what the dialog would show, but
// for the values given as options, which stand as if the operator had typed them.
class ConsoleRingtoneForm : public RingtoneForm {
public:
    explicit ConsoleRingtoneForm(OperatorPanel& panel) : panel_(panel) {}

    std::string controlText(RingtoneField field) override {
        if (field == RingtoneField::beatsPerMinute && typedBeatsPerMinute) return *typedBeatsPerMinute;
        if (field == RingtoneField::staccato && staccato) return *staccato ? "1" : "0";
        return shown_[field];
    }
    void setControlText(RingtoneField field, const std::string& text) override { shown_[field] = text; }
    void reportFormFailure(RingtoneField, std::string_view message) override { showMessage(message); }
    void showMessage(std::string_view text) override { panel_.showMessage(text, MessageIcon::Warning); }
    void playPreview(const std::vector<PlayedTone>& tones) override { played = tones; }

    std::optional<std::string> typedBeatsPerMinute;
    std::optional<bool> staccato;
    std::vector<PlayedTone> played;

private:
    OperatorPanel& panel_;
    std::map<RingtoneField, std::string> shown_;
};

void printMelody(std::ostream& out, const RingtoneDialogModel& model) {
    static constexpr char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < model.melody.size(); ++i) {
        const std::uint8_t byte = model.melody[i];
        out << digits[byte >> 4] << digits[byte & 0x0F] << ((i % 16 == 15) ? '\n' : ' ');
    }
    out << "notesDefined=" << model.notesDefined << '\n' << "eeDataSize=" << model.eeDataSize << '\n';
}

// Writes the samples as a 16-bit mono WAV file; false when they do not fit one or the file
// cannot be written.
bool writeWav(const std::string& path, ToneSynthesizer& synthesizer, std::ostream& err) {
    const std::optional<WavHeader> header = wavHeader(synthesizer.totalSamples(), synthesizer.sampleRate());
    if (!header) {
        err << programPrefix << "the melody is too long for a WAV file\n";
        return false;
    }
    std::ofstream file(utf8Path(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(header->data()), static_cast<std::streamsize>(header->size()));
    std::vector<std::int16_t> samples(8192);
    std::vector<char> bytes(samples.size() * 2);
    while (file && !synthesizer.finished()) {
        const std::size_t made = synthesizer.render(samples);
        for (std::size_t i = 0; i < made; ++i) {
            const auto sample = static_cast<std::uint16_t>(samples[i]);
            bytes[2 * i] = static_cast<char>(sample & 0xFF);
            bytes[2 * i + 1] = static_cast<char>(sample >> 8);
        }
        file.write(bytes.data(), static_cast<std::streamsize>(2 * made));
    }
    file.close();
    if (!file) {
        err << programPrefix << "cannot write " << path << '\n';
        return false;
    }
    return true;
}

} // namespace

int encodeRingtone(const std::string& path, std::ostream& out, std::ostream& err) {
    ConsolePanel panel(0, err, {});
    ConsoleRingtoneForm form(panel);
    RingtoneDialogModel model(form, "");
    model.loadRingtoneFile(path);
    if (!model.melodyValid) return ExitStatus::failed;
    printMelody(out, model);
    return ExitStatus::ok;
}

int renderRingtoneWav(const std::string& path, const std::string& wavPath, int sampleRate,
                      std::ostream& err) {
    ConsolePanel panel(0, err, {});
    ConsoleRingtoneForm form(panel);
    RingtoneDialogModel model(form, "");
    model.loadRingtoneFile(path);
    // Without notes the loading has said why; without a tempo the form's check has.
    if (model.noteText.empty()) return ExitStatus::failed;
    model.previewRingtone();
    if (!ringtoneHasTempo(model.defaults())) return ExitStatus::failed;
    ToneSynthesizer synthesizer(form.played, sampleRate);
    return writeWav(wavPath, synthesizer, err) ? ExitStatus::ok : ExitStatus::failed;
}

RingtoneChoice checkRingtoneSend(const std::string& path, std::optional<int> beatsPerMinute, bool noStaccato,
                                 OperatorPanel& panel) {
    ConsoleRingtoneForm form(panel);
    if (noStaccato) form.staccato = false;
    if (beatsPerMinute) form.typedBeatsPerMinute = std::to_string(*beatsPerMinute);
    RingtoneDialogModel model(form, "");
    model.loadRingtoneFile(path);
    // A file that gave no melody has said why; the send refuses it as the window does.
    if (!model.melodyValid) throw UsageError(RingtoneLoadText::noValidRingtone);
    // "Send to TAVO unit" with the dialog's checks, whose messages say it all.
    if (!model.accept()) throw UsageError("");
    return model.choice();
}

int sendRingtone(TimerCommandParts& parts, const RingtoneChoice& choice) {
    OperationContext& op = parts.operation;
    if (!parts.connect(true)) return ExitStatus::failed;
    // The configuration follows the melody: the timer's own values must pass the form's
    // checks, as in the window, where they stand in the form.
    if (const std::optional<std::string> failure = applySettings({}, op.settings)) {
        parts.panel.showMessage(*failure, MessageIcon::Warning);
        return ExitStatus::failed;
    }
    // As in the window, where "Load Ringtone" is enabled in the ringtone mode only.
    op.settings.audioMode = AudioMode::ringtone;
    parts.panel.answerRingtone(choice);
    return loadRingtone(op) == Outcome::done ? ExitStatus::ok : ExitStatus::failed;
}
