#include "test_panel.h"

namespace {

class TestProgress : public ProgressHandle {
public:
    explicit TestProgress(TestPanel& panel) : panel_(panel) {}
    ~TestProgress() override { close(); }

    void setText(std::string_view text) override { panel_.progress.text = std::string(text); }
    void setRange(int lower, int upper, int) override {
        panel_.progress.lower = lower;
        panel_.progress.upper = upper;
    }
    int setPosition(int position) override {
        auto& positions = panel_.progress.positions;
        const int previous = positions.empty() ? 0 : positions.back();
        positions.push_back(position);
        return previous;
    }
    void pump(bool escapeCancels) override {
        panel_.progress.escapeCancels = escapeCancels;
        if (panel_.progress.pumps++ == panel_.cancelAtPump) panel_.progress.cancelled = true;
    }
    bool cancelled() const override { return panel_.progress.cancelled; }
    void close() override {
        if (!panel_.progress.open) return;
        panel_.progress.open = false;
        panel_.events.emplace_back("progress-");
    }

private:
    TestPanel& panel_;
};

} // namespace

void TestPanel::showMessage(std::string_view text, MessageIcon icon) {
    messages.push_back({std::string(text), icon});
    events.push_back("message " + std::string(text));
}

void TestPanel::beginWaitCursor() {
    ++waitDepth;
    events.emplace_back("wait+");
}

void TestPanel::endWaitCursor() {
    --waitDepth;
    events.emplace_back("wait-");
}

void TestPanel::sleepMs(int ms) {
    totalSleepMs += ms;
    events.push_back("sleep " + std::to_string(ms));
}

void TestPanel::playInformationSound() {
    events.emplace_back("info");
}
void TestPanel::playErrorSound() {
    events.emplace_back("error");
}

void TestPanel::setIdentityText(std::string_view text) {
    identity = std::string(text);
    events.push_back("identity " + identity);
}

void TestPanel::updateLinkControls(bool connected) {
    linkEnabled = connected;
    events.push_back(connected ? "link 1" : "link 0");
}

bool TestPanel::readForm(TimerSettings& settings) {
    events.emplace_back("readForm");
    if (form) {
        // The port and the stored texts are not part of the form.
        TimerSettings taken = *form;
        taken.comPort = settings.comPort;
        taken.transmitSequence = settings.transmitSequence;
        taken.audioFilePath = settings.audioFilePath;
        taken.ringtoneFilePath = settings.ringtoneFilePath;
        taken.toneSequenceText = settings.toneSequenceText;
        taken.oscillatorTune = settings.oscillatorTune;
        settings = taken;
    }
    return formValid;
}

void TestPanel::showForm(const TimerSettings& settings) {
    events.emplace_back("showForm");
    shownForm = settings;
    form = settings;
}

void TestPanel::updateModeControls(const TimerSettings&) {
    events.emplace_back("modes");
}

std::optional<std::string> TestPanel::editToneSequence(const std::string& text) {
    events.emplace_back("edit");
    toneSequenceShown = text;
    return toneSequenceAnswer;
}

std::optional<std::array<std::uint8_t, 16>>
TestPanel::editTransmitSequence(const std::array<std::uint8_t, 16>& table) {
    events.emplace_back("edit steps");
    transmitSequenceShown = table;
    return transmitSequenceAnswer;
}

std::optional<int> TestPanel::tuneOscillator(int current, const std::function<bool(int)>& sendTrim) {
    events.push_back("tune " + std::to_string(current));
    // The dialog's value changes only with a selection.
    int value = current;
    for (int trim : tuneSelections) {
        value = trim;
        const bool echoed = sendTrim(trim);
        events.push_back("trim " + std::to_string(trim) + (echoed ? " 1" : " 0"));
    }
    if (!tuneAccepted) return std::nullopt;
    return value;
}

std::optional<RingtoneChoice> TestPanel::editRingtone(const std::string& filePath) {
    events.emplace_back("ringtone");
    ringtoneFileShown = filePath;
    return ringtoneAnswer;
}

std::vector<std::string> TestPanel::messageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages)
        texts.push_back(m.text);
    return texts;
}

std::optional<std::string> TestPanel::chooseFileToOpen(std::string_view filter,
                                                       std::string_view defaultExtension,
                                                       const std::string& initialName) {
    events.emplace_back("file");
    fileChoices.push_back({std::string(filter), std::string(defaultExtension), initialName});
    return fileAnswer;
}

std::unique_ptr<ProgressHandle> TestPanel::openProgress(std::string_view title, bool smooth) {
    events.emplace_back("progress+");
    progress = Progress{};
    progress.title = std::string(title);
    progress.smooth = smooth;
    progress.open = true;
    return std::make_unique<TestProgress>(*this);
}
