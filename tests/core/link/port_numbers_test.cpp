// Port numbers: links of the per-user port directory, then the fixed device scheme.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/link/port_numbers.h"
#include "support/emulated_timer.h"

namespace fs = std::filesystem;

namespace {

// Restores an environment variable when it goes.
class SavedVariable {
public:
    explicit SavedVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) value_ = value;
    }
    ~SavedVariable() {
        if (value_)
            setenv(name_, value_->c_str(), 1);
        else
            unsetenv(name_);
    }
    SavedVariable(const SavedVariable&) = delete;
    SavedVariable& operator=(const SavedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> value_;
};

std::string schemePath(int n) {
    if (n >= 1 && n <= 32) return "/dev/ttyS" + std::to_string(n - 1);
    if (n >= 33 && n <= 64) return "/dev/ttyUSB" + std::to_string(n - 33);
    if (n >= 65 && n <= 96) return "/dev/ttyACM" + std::to_string(n - 65);
    return {};
}

std::vector<unsigned> enumerated() {
    std::vector<unsigned> list = {999};
    enumerateSerialPorts(list);
    return list;
}

} // namespace

TEST(PortNumbers, PortDirectoryFollowsXdgConfigHome) {
    TempConfigHome home;
    EXPECT_EQ(portDirectory(), home.path() + "/VOSK/ports");

    SavedVariable savedHome("HOME");
    setenv("HOME", "/home/operator", 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(portDirectory(), "/home/operator/.config/VOSK/ports");
    // A relative XDG_CONFIG_HOME is not to be used.
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(portDirectory(), "/home/operator/.config/VOSK/ports");
}

TEST(PortNumbers, LinksGiveNumbersAndComeFirst) {
    TempConfigHome home;
    const fs::path ports = portDirectory();
    const std::vector<unsigned> withoutLinks = enumerated();
    const std::string device8 = portDevicePath(8);
    const std::string device11 = portDevicePath(11);
    fs::create_directories(ports);

    fs::create_symlink("/dev/null", ports / "com7");
    fs::create_symlink("/dev/zero", ports / "COM12");
    fs::create_symlink("/dev/zero", ports / "com07");  // 7 again: the plain name wins
    fs::create_symlink("/dev/zero", ports / "com300"); // beyond every fixed number
    fs::create_symlink("../../../no/such/device", ports / "com8");
    fs::create_symlink("/dev/null", ports / "com");
    fs::create_symlink("/dev/null", ports / "comX");
    fs::create_symlink("/dev/null", ports / "com9.old");
    fs::create_symlink("/dev/null", ports / "com0");
    fs::create_symlink(home.path(), ports / "com10"); // a folder is no device
    std::ofstream(ports / "com11") << "not a link";

    EXPECT_EQ(portDevicePath(7), "/dev/null");
    EXPECT_EQ(portDevicePath(12), "/dev/zero");
    EXPECT_EQ(portDevicePath(300), "/dev/zero");
    // A dangling link, or a file that is no link, gives no port: the number stays the scheme's.
    EXPECT_EQ(portDevicePath(8), device8);
    EXPECT_EQ(portDevicePath(11), device11);
    EXPECT_EQ(portDevicePath(0), "");

    const std::vector<unsigned> list = enumerated();
    ASSERT_GE(list.size(), 3u);
    EXPECT_EQ(std::vector<unsigned>(list.begin(), list.begin() + 3), (std::vector<unsigned>{7, 12, 300}));
    std::vector<unsigned> rest(list.begin() + 3, list.end());
    std::vector<unsigned> expectedRest;
    for (unsigned n : withoutLinks)
        if (n != 7 && n != 12) expectedRest.push_back(n);
    EXPECT_EQ(rest, expectedRest);

    // A relative link is taken from the port directory.
    fs::create_symlink("../../../../../../../../dev/null", ports / "com13");
    EXPECT_EQ(fs::canonical(portDevicePath(13)), fs::path("/dev/null"));
}

TEST(PortNumbers, FixedSchemeAndNoDuplicates) {
    TempConfigHome home;
    EXPECT_EQ(portDevicePath(-1), "");
    EXPECT_EQ(portDevicePath(97), "");
    for (int n = 1; n <= 96; ++n) {
        const std::string path = portDevicePath(n);
        // A number gives its device of the scheme, or nothing when that device is not there.
        if (!path.empty()) {
            EXPECT_EQ(path, schemePath(n));
        }
        if (!fs::exists(schemePath(n))) {
            EXPECT_EQ(path, "") << n;
        }
    }
    const std::vector<unsigned> list = enumerated();
    for (unsigned n : list)
        EXPECT_EQ(portDevicePath(static_cast<int>(n)), schemePath(static_cast<int>(n)));
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));

    // A link over a fixed number replaces that device, and the number is listed once.
    fs::create_directories(portDirectory());
    fs::create_symlink("/dev/null", fs::path(portDirectory()) / "com1");
    EXPECT_EQ(portDevicePath(1), "/dev/null");
    const std::vector<unsigned> linked = enumerated();
    EXPECT_EQ(std::count(linked.begin(), linked.end(), 1u), 1);
    EXPECT_EQ(linked.front(), 1u);
    EXPECT_EQ(std::set<unsigned>(linked.begin(), linked.end()).size(), linked.size());
}

TEST(PortNumbers, EmulatorRegistersAndRemovesItsLink) {
    TempConfigHome home;
    const fs::path link = fs::path(portDirectory()) / "com7";
    TimerEmulator timer;
    {
        fs::create_directories(portDirectory());
        fs::create_symlink("/dev/no-such-device", link); // left by an emulator that was killed
        PtyRunner runner(timer, 7);
        EXPECT_EQ(fs::read_symlink(link), runner.devicePath());
        EXPECT_EQ(portDevicePath(7), runner.devicePath());
        const std::vector<unsigned> list = enumerated();
        EXPECT_EQ(std::count(list.begin(), list.end(), 7u), 1);
        // A number that a live device has is not taken over.
        TimerEmulator another;
        EXPECT_THROW(PtyRunner(another, 7), std::runtime_error);
        EXPECT_EQ(fs::read_symlink(link), runner.devicePath());
        EXPECT_THROW(PtyRunner(another, 0), std::runtime_error);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    // Another emulator took the number meanwhile: its link stays.
    {
        PtyRunner runner(timer, 7);
        fs::remove(link);
        fs::create_symlink("/dev/null", link);
    }
    EXPECT_EQ(fs::read_symlink(link), fs::path("/dev/null"));
}
