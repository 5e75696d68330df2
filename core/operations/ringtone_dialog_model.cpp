#include "core/operations/ringtone_dialog_model.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <optional>

#include "core/decimal.h"
#include "core/formats/utf8_path.h"

namespace {

constexpr std::array<RingtoneField, 7> exchangeOrder{
    RingtoneField::rtttlText,      RingtoneField::defaultOctave, RingtoneField::defaultDuration,
    RingtoneField::beatsPerMinute, RingtoneField::notesDefined,  RingtoneField::eeDataSize,
    RingtoneField::staccato,
};

enum class LineRead { cannotOpen, cannotRead, read };

// The first line of the file without its line end, or as much of it as shows that it is
// too long: a file without line ends is not read whole into memory.
LineRead readFirstLine(const std::string& path, std::string& line) {
    if (!readableAsFile(utf8Path(path))) return LineRead::cannotOpen;
    std::ifstream file(utf8Path(path), std::ios::binary);
    if (!file) return LineRead::cannotOpen;
    line.clear();
    bool anything = false;
    char c = 0;
    // One character beyond the limit, and a carriage return before the line feed.
    constexpr std::size_t enough = ringtoneMaxLineLength + 2;
    while (line.size() < enough && file.get(c)) {
        anything = true;
        if (c == '\n') break;
        line.push_back(c);
    }
    if (!anything) return LineRead::cannotRead;
    // A file written with Windows line ends: the carriage return is part of the line end,
    // not a character of the melody.
    if (line.size() < enough && !line.empty() && line.back() == '\r') line.pop_back();
    // The line is a C string to the timer's tools: it ends at a zero byte.
    if (const std::size_t zero = line.find('\0'); zero != std::string::npos) line.resize(zero);
    return LineRead::read;
}

// The sections between colons: runs of colons are one separator, and no section is empty.
std::vector<std::string> colonSections(const std::string& text) {
    std::vector<std::string> sections;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t begin = text.find_first_not_of(':', start);
        if (begin == std::string::npos) break;
        const std::size_t end = text.find(':', begin);
        sections.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos) break;
        start = end;
    }
    return sections;
}

} // namespace

std::optional<IntRange> ringtoneFieldRange(RingtoneField field) {
    switch (field) {
    case RingtoneField::defaultOctave:
        return IntRange{ringtoneLowestOctave, ringtoneHighestOctave};
    case RingtoneField::defaultDuration:
        return IntRange{1, 32};
    case RingtoneField::beatsPerMinute:
        return IntRange{25, 600};
    default:
        return std::nullopt;
    }
}

RingtoneDialogModel::RingtoneDialogModel(RingtoneForm& form, std::string filePath)
    : filePath(std::move(filePath)), form_(form) {}

bool RingtoneDialogModel::readForm() {
    for (RingtoneField field : exchangeOrder) {
        const std::string text = form_.controlText(field);
        if (field == RingtoneField::rtttlText) {
            rtttlText = text;
            continue;
        }
        const std::optional<int> value = parseInteger(text);
        if (!value) {
            form_.reportFormFailure(field, FormText::notAnInteger);
            return false;
        }
        switch (field) {
        case RingtoneField::defaultOctave:
            defaultOctave = *value;
            break;
        case RingtoneField::defaultDuration:
            defaultDuration = *value;
            break;
        case RingtoneField::beatsPerMinute:
            beatsPerMinute = *value;
            break;
        case RingtoneField::notesDefined:
            notesDefined = *value;
            break;
        case RingtoneField::eeDataSize:
            eeDataSize = *value;
            break;
        case RingtoneField::staccato:
            staccato = *value != 0;
            break;
        case RingtoneField::rtttlText:
            break;
        }
        // An out-of-range value is kept, as the operator sees it, and reported.
        if (const std::optional<IntRange> range = ringtoneFieldRange(field);
            range && (*value < range->min || *value > range->max)) {
            form_.reportFormFailure(field, formatRangeMessage(range->min, range->max));
            return false;
        }
        // The duration has passed its check: the tempo must give a whole note the block holds.
        if (field == RingtoneField::beatsPerMinute &&
            ringtoneWholeNoteMs(defaults()) > ringtoneLongestWholeNoteMs) {
            char message[160];
            std::snprintf(message, sizeof message, RingtoneText::tempoTooSlow, defaultDuration,
                          ringtoneSlowestTempo(defaultDuration));
            form_.reportFormFailure(field, message);
            return false;
        }
    }
    return true;
}

void RingtoneDialogModel::showForm() {
    form_.setControlText(RingtoneField::rtttlText, rtttlText);
    form_.setControlText(RingtoneField::defaultOctave, std::to_string(defaultOctave));
    form_.setControlText(RingtoneField::defaultDuration, std::to_string(defaultDuration));
    form_.setControlText(RingtoneField::beatsPerMinute, std::to_string(beatsPerMinute));
    form_.setControlText(RingtoneField::notesDefined, std::to_string(notesDefined));
    form_.setControlText(RingtoneField::eeDataSize, std::to_string(eeDataSize));
    form_.setControlText(RingtoneField::staccato, staccato ? "1" : "0");
}

void RingtoneDialogModel::loadRingtoneFile(const std::string& path) {
    melodyValid = false;
    filePath = path;
    std::string line;
    switch (readFirstLine(path, line)) {
    case LineRead::cannotOpen:
        form_.showMessage(RingtoneText::cannotOpen);
        return;
    case LineRead::cannotRead:
        rtttlText.clear();
        form_.showMessage(RingtoneText::cannotRead);
        return;
    case LineRead::read:
        rtttlText = line;
        break;
    }
    if (rtttlText.size() >= ringtoneMaxLineLength) {
        form_.showMessage(RingtoneText::tooLong);
        rtttlText.clear();
        return;
    }
    // Beats/Min and Staccato are shown from the values too: an edit made since the form
    // was last read is replaced before the encoding reads the form.
    showForm();

    const std::vector<std::string> sections = colonSections(rtttlText);
    // The first section is the melody's name, which nothing uses.
    if (sections.size() < 2) {
        form_.showMessage(RingtoneText::parserError);
        return;
    }
    const RingtoneDefaults read = parseRingtoneDefaults(sections[1], defaults());
    defaultOctave = read.octave;
    defaultDuration = read.duration;
    beatsPerMinute = read.beatsPerMinute;
    showForm();

    noteText.clear();
    if (sections.size() < 3) {
        form_.showMessage(RingtoneText::parserError);
        return;
    }
    noteText = sections[2];
    if (encodeRingtone(noteText)) melodyValid = true;
    showForm();
}

bool RingtoneDialogModel::encodeRingtone(std::string_view text) {
    // A failed check has been reported; the encoding goes on with the values as they stand.
    readForm();
    const RingtoneEncoding encoding = ::encodeRingtone(text, defaults(), staccato);
    switch (encoding.end) {
    case RingtoneEncodingEnd::noTempo:
        // The duration or tempo has failed its check above: there is no note length to
        // encode, and the melody is not valid.
        return false;
    case RingtoneEncodingEnd::octaveNotSupported:
        form_.showMessage(RingtoneText::octaveNotSupported);
        return false;
    case RingtoneEncodingEnd::truncated:
        form_.showMessage(RingtoneText::truncated);
        break;
    case RingtoneEncodingEnd::complete:
        break;
    }
    melody = encoding.melody;
    notesDefined = encoding.notesDefined;
    eeDataSize = encoding.usedLength;
    return true;
}

void RingtoneDialogModel::previewRingtone() {
    if (noteText.empty()) return;
    readForm();
    const std::vector<PlayedTone> tones = ringtonePreview(noteText, defaults());
    if (!tones.empty()) form_.playPreview(tones);
}

void RingtoneDialogModel::notImplemented() {
    form_.showMessage(RingtoneText::notImplemented);
}
