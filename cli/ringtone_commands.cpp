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

constexpr int defaultSampleRate = 44100;
// Every frequency of the preview lies below half the rate from here on.
constexpr int lowestSampleRate = 16000;
constexpr int highestSampleRate = 192000;

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

int encodeCommand(const std::string& path, std::ostream& out, std::ostream& err) {
    ConsolePanel panel(0, err, {});
    ConsoleRingtoneForm form(panel);
    RingtoneDialogModel model(form, "");
    model.loadRingtoneFile(path);
    if (!model.melodyValid) return ExitStatus::failed;
    printMelody(out, model);
    return ExitStatus::ok;
}

int wavCommand(const std::string& path, const std::string& wavPath, int sampleRate, std::ostream& err) {
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

} // namespace

int runRingtoneCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const RingtoneUsage& usage) {
    if (args.size() == 2 && args[0] == "encode") return encodeCommand(args[1], out, err);
    if (args.size() >= 3 && args[0] == "wav") {
        int sampleRate = defaultSampleRate;
        for (std::size_t i = 3; i < args.size(); ++i) {
            if (args[i] != "--rate" || i + 1 >= args.size()) return usage("unknown option: " + args[i]);
            const std::optional<int> rate = parseDigits(args[++i]);
            if (!rate || *rate < lowestSampleRate || *rate > highestSampleRate)
                return usage("--rate needs a sample rate from " + std::to_string(lowestSampleRate) + " to " +
                             std::to_string(highestSampleRate));
            sampleRate = *rate;
        }
        return wavCommand(args[1], args[2], sampleRate, err);
    }
    if (!args.empty() && args[0] == "send")
        return usage("ringtone send needs a timer: --port N ringtone send FILE");
    return usage("unknown ringtone command");
}

int sendRingtone(TimerCommandParts& parts, const std::vector<std::string>& args) {
    if (args.size() < 2 || args[0] != "send") return parts.usageError("unknown ringtone command");
    ConsolePanel& panel = parts.panel;
    OperationContext& op = parts.operation;
    ConsoleRingtoneForm form(panel);
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--no-staccato") {
            form.staccato = false;
        } else if (args[i] == "--bpm" && i + 1 < args.size()) {
            form.typedBeatsPerMinute = args[++i];
        } else {
            return parts.usageError("unknown option: " + args[i]);
        }
    }
    // The tempo typed on the command line is checked before the file is read, so that its
    // message comes once and the timer is not woken for nothing.
    if (form.typedBeatsPerMinute) {
        const std::optional<int> bpm = parseInteger(*form.typedBeatsPerMinute);
        if (!bpm) {
            panel.showMessage(FormText::notAnInteger, MessageIcon::Warning);
            return ExitStatus::failed;
        }
        const IntRange range = *ringtoneFieldRange(RingtoneField::beatsPerMinute);
        if (*bpm < range.min || *bpm > range.max) {
            panel.showMessage(formatRangeMessage(range.min, range.max), MessageIcon::Warning);
            return ExitStatus::failed;
        }
    }

    RingtoneDialogModel model(form, op.settings.ringtoneFilePath);
    model.loadRingtoneFile(args[1]);
    // "Send to TAVO unit" with its checks; a melody that is not valid is refused before
    // the timer is reached, with the message the operation would give.
    if (!model.accept()) return ExitStatus::failed;
    if (!model.melodyValid) {
        panel.showMessage(RingtoneLoadText::noValidRingtone, MessageIcon::Warning);
        return ExitStatus::failed;
    }
    if (!parts.connect() || !parts.read()) return ExitStatus::failed;
    // The configuration follows the melody: the timer's own values must pass the form's
    // checks, as in the window, where they stand in the form.
    if (const std::optional<std::string> failure = applySettings({}, op.settings)) {
        panel.showMessage(*failure, MessageIcon::Warning);
        return ExitStatus::failed;
    }
    // As in the window, where "Load Ringtone" is enabled in the ringtone mode only.
    op.settings.audioMode = AudioMode::ringtone;
    panel.answerRingtone(model.choice());
    return loadRingtone(op) == Outcome::done ? ExitStatus::ok : ExitStatus::failed;
}
