// A melody in a folder with an accented name ("C:\Users\Jürgen"), opened by the UTF-8 name that
// the window and the command line hand over. Runs on Linux and, built for Windows, under Wine,
// where a narrow open would read the name in the ANSI code page.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/operations/ringtone_dialog_model.h"

namespace {

class Form : public RingtoneForm {
public:
    std::string controlText(RingtoneField field) override { return controls[field]; }
    void setControlText(RingtoneField field, const std::string& text) override { controls[field] = text; }
    void reportFormFailure(RingtoneField, std::string_view message) override {
        messages.emplace_back(message);
    }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void playPreview(const std::vector<PlayedTone>&) override {}

    std::map<RingtoneField, std::string> controls;
    std::vector<std::string> messages;
};

TEST(Utf8FileNames, AMelodyOpensByItsUtf8Name) {
    namespace fs = std::filesystem;
    const std::string melody = "Fuchs:d=4,o=5,b=120:8a,4a";
    const std::string unique = std::to_string(std::random_device{}());
    // Made from UTF-32, apart from the conversion under test.
    const fs::path folder = fs::temp_directory_path() / (U"J\u00FCrgen-" + fs::path(unique).u32string());
    fs::create_directories(folder);
    std::ofstream(folder / "Fuchs.rtt", std::ios::binary) << melody << "\r\n";
    const std::u8string temporary = fs::temp_directory_path().u8string();
    const std::string base(temporary.begin(), temporary.end());

    const struct {
        std::string folderName;
        std::string rtttlText;
        std::vector<std::string> messages;
    } cases[] = {
        {"J\xC3\xBCrgen-", melody, {}},
        // The Latin-1 spelling is no UTF-8: it names no file, and nothing fails harder.
        {"J\xFCrgen-", "", {RingtoneText::cannotOpen}},
    };
    for (const auto& c : cases) {
        Form form;
        RingtoneDialogModel model(form, "");
        model.showForm();
        model.loadRingtoneFile(base + "/" + c.folderName + unique + "/Fuchs.rtt");
        EXPECT_EQ(model.rtttlText, c.rtttlText);
        EXPECT_EQ(form.messages, c.messages);
        EXPECT_EQ(model.melodyValid, c.messages.empty());
    }
    fs::remove_all(folder);
}

} // namespace
