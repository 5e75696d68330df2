// The ringtone dialog's logic on melody files, and "Load Ringtone" against the emulated
// timer over a pseudo-terminal.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/operations/ringtone_dialog_model.h"
#include "core/operations/ringtone_load.h"
#include "support/emulated_timer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes workedExample{0x80, 0x9A, 0x9F, 0xD0, 0xC0, 0x4C, 0xA1, 0x20, 0x01, 0xF4, 0x21, 0x00};

std::string data(const std::string& name) {
    return std::string(TAVOFOX_TEST_DATA) + "/ringtone/" + name;
}

// The dialog's controls as the operator sees and sets them.
class FormFake : public RingtoneForm {
public:
    std::string controlText(RingtoneField field) override { return controls[field]; }
    void setControlText(RingtoneField field, const std::string& text) override { controls[field] = text; }
    void reportFormFailure(RingtoneField field, std::string_view message) override {
        messages.emplace_back(message);
        focused.push_back(field);
    }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void playPreview(const std::vector<PlayedTone>& tones) override { played.push_back(tones); }

    std::map<RingtoneField, std::string> controls;
    std::vector<std::string> messages;
    std::vector<RingtoneField> focused;
    std::vector<std::vector<PlayedTone>> played;
};

Bytes head(const RingtoneMelody& melody, std::size_t count) {
    return {melody.begin(), melody.begin() + static_cast<std::ptrdiff_t>(count)};
}

class RingtoneDialogLogic : public ::testing::Test {
protected:
    void SetUp() override { model.showForm(); }

    std::string write(const std::string& name, const std::string& content) {
        const std::string path = home.path() + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    TempConfigHome home;
    FormFake form;
    RingtoneDialogModel model{form, "/melodies/last.rtt"};
};

TEST_F(RingtoneDialogLogic, LoadFileEncodesTheFirstLine) {
    EXPECT_EQ(form.controls[RingtoneField::defaultOctave], "6");
    EXPECT_EQ(form.controls[RingtoneField::beatsPerMinute], "63");
    EXPECT_EQ(model.filePath, "/melodies/last.rtt");
    // Unchecked in the fresh dialog: the load shows the value again before it encodes.
    form.controls[RingtoneField::staccato] = "0";

    model.loadRingtoneFile(data("worked_example_crlf.rtt"));
    EXPECT_TRUE(form.messages.empty()) << form.messages.front();
    EXPECT_TRUE(model.melodyValid);
    // The carriage return of the Windows line end is no pause note.
    EXPECT_EQ(model.rtttlText, "Example:d=4,o=5,b=120:8a,4a,8c.6,p");
    EXPECT_EQ(head(model.melody, 12), workedExample);
    EXPECT_EQ(form.controls[RingtoneField::notesDefined], "4");
    EXPECT_EQ(form.controls[RingtoneField::eeDataSize], "12");
    EXPECT_EQ(form.controls[RingtoneField::defaultOctave], "5");
    EXPECT_EQ(form.controls[RingtoneField::beatsPerMinute], "120");
    EXPECT_EQ(form.controls[RingtoneField::staccato], "1");
    EXPECT_EQ(model.filePath, data("worked_example_crlf.rtt"));

    // Changes after the load reach the preview, not the block that is sent.
    form.controls[RingtoneField::staccato] = "0";
    form.controls[RingtoneField::beatsPerMinute] = "60";
    model.previewRingtone();
    ASSERT_EQ(form.played.size(), 1u);
    EXPECT_EQ(form.played[0], (std::vector<PlayedTone>{{440, 500}, {440, 1000}, {1047, 750}, {0, 1000}}));
    EXPECT_TRUE(model.accept());
    const RingtoneChoice choice = model.choice();
    EXPECT_TRUE(choice.melodyValid);
    EXPECT_EQ(head(choice.melody, 12), workedExample);
    EXPECT_EQ(choice.filePath, data("worked_example_crlf.rtt"));
}

TEST_F(RingtoneDialogLogic, EveryFailureOfLoadFile) {
    struct Case {
        std::string path;
        std::vector<std::string> messages;
        std::string rtttlText;
    };
    const std::string line511 = "Long:d=4,o=5,b=120:a" + std::string(491, ',');
    ASSERT_EQ(line511.size(), 511u);
    const std::vector<Case> cases{
        // A file that cannot be opened leaves the text of the last one.
        {data("missing.rtt"),
         {"ERROR: The Ringtonefile can not be opened\n"},
         "Example:d=4,o=5,b=120:8a,4a,8c.6,p"},
        {data("empty.rtt"), {"Data can not be read from ringtone"}, ""},
        {write("long.rtt", line511 + ",\nnext"), {"Ringtone is too long"}, ""},
        {data("title_line.rtt"), {"Error in Ringtone parser\n"}, "Two lines of text"},
        {write("colons.rtt", "::"), {"Error in Ringtone parser\n"}, "::"},
        {write("nodefaults.rtt", "Name"), {"Error in Ringtone parser\n"}, "Name"},
        {write("nonotes.rtt", "::Name::d=8:"), {"Error in Ringtone parser\n"}, "::Name::d=8:"},
        {data("octave8.rtt"),
         {"Octave 8 (notes > 3000 Hz)\nis not supported"},
         "High:d=4,o=8,b=100:a5,c6,e7,g,a5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        model.loadRingtoneFile(data("worked_example_crlf.rtt"));
        ASSERT_TRUE(model.melodyValid);
        form.messages.clear();
        model.loadRingtoneFile(c.path);
        EXPECT_EQ(form.messages, c.messages);
        EXPECT_FALSE(model.melodyValid);
        EXPECT_FALSE(model.choice().melodyValid);
        EXPECT_EQ(model.rtttlText, c.rtttlText);
        EXPECT_EQ(model.filePath, c.path);
        // The counts of the last successful encoding stay.
        EXPECT_EQ(model.notesDefined, 4);
    }
    // The defaults parsed before the missing notes stay in the form.
    model.loadRingtoneFile(write("nonotes.rtt", "Name:d=8"));
    EXPECT_EQ(form.controls[RingtoneField::defaultDuration], "8");
    EXPECT_TRUE(model.noteText.empty());

    // 511 characters are accepted.
    form.messages.clear();
    model.loadRingtoneFile(write("fits.rtt", line511 + "\r\n"));
    EXPECT_TRUE(form.messages.empty());
    EXPECT_TRUE(model.melodyValid);
    EXPECT_EQ(model.notesDefined, 1);

    // The block is full: reported, and the melody is still valid.
    form.messages.clear();
    std::string notes(120 * 2, ',');
    for (std::size_t i = 0; i < notes.size(); i += 2)
        notes[i] = 'c';
    model.loadRingtoneFile(write("full.rtt", "Full:d=4,o=5,b=120:" + notes + "d,e,f"));
    EXPECT_EQ(form.messages, std::vector<std::string>{"Melody truncated, Does not fit in EEPROM storage"});
    EXPECT_TRUE(model.melodyValid);
    EXPECT_EQ(form.controls[RingtoneField::notesDefined], "121");
    EXPECT_EQ(form.controls[RingtoneField::eeDataSize], "127");
    EXPECT_EQ(model.melody[126], 0x06); // the 121st note, D
}

TEST_F(RingtoneDialogLogic, ValuesOutOfRangeAreReportedAndNeverDivide) {
    const std::string tempoRange = "Please enter an integer between 25 and 600.";
    model.loadRingtoneFile(data("no_tempo.rtt"));
    EXPECT_EQ(form.messages, std::vector<std::string>{tempoRange});
    EXPECT_EQ(form.focused, std::vector<RingtoneField>{RingtoneField::beatsPerMinute});
    EXPECT_FALSE(model.melodyValid);
    EXPECT_EQ(form.controls[RingtoneField::eeDataSize], "0");
    model.previewRingtone();
    EXPECT_TRUE(form.played.empty());
    EXPECT_EQ(form.messages.size(), 2u);
    // A tempo typed now passes the check of "Send to TAVO unit", but the melody stays
    // invalid: the operation refuses it.
    form.controls[RingtoneField::beatsPerMinute] = "120";
    EXPECT_TRUE(model.accept());
    EXPECT_FALSE(model.choice().melodyValid);

    // An octave the form refuses: reported, encoded all the same, played as pauses; the
    // dialog does not close with it.
    form.messages.clear();
    form.played.clear();
    model.loadRingtoneFile(data("low_octave.rtt"));
    EXPECT_EQ(form.messages, std::vector<std::string>{"Please enter an integer between 4 and 8."});
    EXPECT_TRUE(model.melodyValid);
    model.previewRingtone();
    ASSERT_EQ(form.played.size(), 1u);
    EXPECT_EQ(form.played[0], (std::vector<PlayedTone>{{0, 500}, {440, 500}}));
    EXPECT_FALSE(model.accept());

    form.messages.clear();
    form.controls[RingtoneField::defaultOctave] = "5";
    form.controls[RingtoneField::beatsPerMinute] = "";
    EXPECT_FALSE(model.accept());
    EXPECT_EQ(form.messages, std::vector<std::string>{"Please enter an integer."});
    form.messages.clear();
    model.notImplemented();
    EXPECT_EQ(form.messages, std::vector<std::string>{"Not implemented in this version"});
}

RingtoneMelody exampleMelody() {
    RingtoneMelody melody{};
    std::copy(workedExample.begin(), workedExample.end(), melody.begin());
    return melody;
}

// Where a byte sequence starts in what the timer received; -1 when it never came.
long positionOf(const Bytes& received, const Bytes& sequence) {
    const auto at = std::search(received.begin(), received.end(), sequence.begin(), sequence.end());
    return at == received.end() ? -1 : at - received.begin();
}

TEST(LoadRingtone, WritesTheMelodyAtItsAddressThenTheConfiguration) {
    EmulatedTimer timer;
    timer.settings.audioMode = AudioMode::ringtone;
    timer.settings.cwText = "MOE";
    timer.settings.ringtoneFilePath = "/melodies/old.rtt";
    timer.panel.ringtoneAnswer = RingtoneChoice{"/melodies/new.rtt", true, exampleMelody()};

    EXPECT_EQ(loadRingtone(timer.operation), Outcome::done);
    EXPECT_TRUE(timer.panel.messages.empty()) << timer.panel.messageTexts().front();
    EXPECT_EQ(timer.panel.ringtoneFileShown, "/melodies/old.rtt");
    EXPECT_EQ(timer.settings.ringtoneFilePath, "/melodies/new.rtt");

    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    EXPECT_EQ(Bytes(memory.begin() + 128, memory.begin() + 140), workedExample);
    EXPECT_TRUE(std::all_of(memory.begin() + 140, memory.end(), [](auto b) { return b == 0; }));
    EXPECT_EQ(memory[0] & 0x04, 0x04); // the ringtone audio mode

    const Bytes received = timer.with([](TimerEmulator& e) { return e.counters().received; });
    Bytes block{'W', 128, 128};
    block.insert(block.end(), workedExample.begin(), workedExample.end());
    const long melodyAt = positionOf(received, block);
    const long configAt = positionOf(received, {'W', 0, 13});
    ASSERT_GE(melodyAt, 0);
    EXPECT_GT(configAt, melodyAt + 130);
    EXPECT_EQ(received.back(), '@');
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().applyCount; }), 1);
    const std::vector<std::string> tail(timer.panel.events.end() - 3, timer.panel.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"info", "wait-", "wait-"}));
}

TEST(LoadRingtone, NothingIsWrittenWithoutAValidMelody) {
    EmulatedTimer timer;
    timer.settings.ringtoneFilePath = "/melodies/old.rtt";
    const TimerSettings before = timer.settings;

    timer.panel.ringtoneAnswer.reset();
    EXPECT_EQ(loadRingtone(timer.operation), Outcome::cancelled);
    EXPECT_EQ(timer.panel.events, std::vector<std::string>{"ringtone"});

    timer.panel.ringtoneAnswer = RingtoneChoice{"/melodies/new.rtt", false, exampleMelody()};
    EXPECT_EQ(loadRingtone(timer.operation), Outcome::failed);
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{"No valid ringtone available"});
    EXPECT_EQ(timer.settings, before);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);
}

TEST(LoadRingtone, FailedBlockWriteKeepsTheFileAndSkipsTheConfiguration) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) { e.faults().hashFaultAfterByte = 3; });
    timer.panel.ringtoneAnswer = RingtoneChoice{"/melodies/new.rtt", true, exampleMelody()};

    EXPECT_EQ(loadRingtone(timer.operation), Outcome::failed);
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{"Error in downloading Ringtone Sequence"});
    EXPECT_EQ(timer.settings.ringtoneFilePath, "/melodies/new.rtt");
    const auto& ev = timer.panel.events;
    EXPECT_EQ(std::count(ev.begin(), ev.end(), "readForm"), 0);
    const EmulatorCounters counters = timer.with([](TimerEmulator& e) { return e.counters(); });
    EXPECT_EQ(positionOf(counters.received, {'W', 0, 13}), -1);
    EXPECT_EQ(counters.applyCount, 0);
    EXPECT_EQ(timer.panel.waitDepth, 0);
}

} // namespace
