// Port numbers: links of the per-user port directory, then the fixed device scheme.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/link/port_numbers.h"
#include "support/device_tree.h"
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

std::vector<unsigned> enumerated(const DeviceRoots& roots) {
    std::vector<unsigned> list = {999};
    enumerateSerialPorts(list, roots);
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
    DeviceTree devices(home.path() + "/machine");
    devices.addDevice("ttyS0");
    devices.setUartType("ttyS0", 4);
    devices.addDevice("ttyS7");
    devices.setUartType("ttyS7", 4);
    const fs::path ports = portDirectory();
    fs::create_directories(ports);

    fs::create_symlink("/dev/null", ports / "com7");
    fs::create_symlink("/dev/zero", ports / "COM12");
    fs::create_symlink("/dev/zero", ports / "com07");  // 7 again: the plain name wins
    fs::create_symlink("/dev/zero", ports / "com300"); // beyond every fixed number
    fs::create_symlink("../../../no/such/device", ports / "com8");
    fs::create_symlink("/dev/null", ports / "com");
    fs::create_symlink("/dev/null", ports / "comX");
    fs::create_symlink("/dev/null", ports / "com9.old");
    fs::create_symlink("/dev/null", ports / "com+9");
    fs::create_symlink("/dev/null", ports / "com0");
    fs::create_symlink(home.path(), ports / "com10"); // a folder is no device
    std::ofstream(ports / "com11") << "not a link";

    const DeviceRoots& roots = devices.roots();
    EXPECT_EQ(portDevicePath(7, roots), "/dev/null");
    EXPECT_EQ(portDevicePath(12, roots), "/dev/zero");
    EXPECT_EQ(portDevicePath(300, roots), "/dev/zero");
    // A dangling link, or a file that is no link, gives no port: the number stays the scheme's.
    EXPECT_EQ(portDevicePath(8, roots), roots.dev + "/ttyS7");
    EXPECT_EQ(portDevicePath(11, roots), "");
    EXPECT_EQ(portDevicePath(9, roots), "");
    EXPECT_EQ(portDevicePath(0, roots), "");
    EXPECT_EQ(enumerated(roots), (std::vector<unsigned>{7, 12, 300, 1, 8}));

    // A link over a fixed number replaces that device, and the number is listed once.
    fs::create_symlink("/dev/null", ports / "com1");
    EXPECT_EQ(portDevicePath(1, roots), "/dev/null");
    EXPECT_EQ(enumerated(roots), (std::vector<unsigned>{1, 7, 12, 300, 8}));

    // A relative link is taken from the port directory.
    fs::create_symlink("../../../../../../../../dev/null", ports / "com13");
    EXPECT_EQ(fs::canonical(portDevicePath(13, roots)), fs::path("/dev/null"));
}

TEST(PortNumbers, FixedSchemeListsTheDevicesThatExist) {
    TempConfigHome home;
    DeviceTree devices(home.path() + "/machine");
    const DeviceRoots& roots = devices.roots();
    EXPECT_EQ(enumerated(roots), std::vector<unsigned>{});
    EXPECT_EQ(portDevicePath(1, roots), "");

    devices.addDevice("ttyS0");
    devices.setUartType("ttyS0", 4);
    devices.addDevice("ttyS1"); // a node the kernel has no UART for
    devices.setUartType("ttyS1", 0);
    devices.addDevice("ttyS31");
    devices.setUartType("ttyS31", 4);
    devices.addDevice("ttyUSB3");
    devices.addDevice("ttyACM0", "/dev/zero");
    devices.addDevice("ttyACM31");
    devices.addDevice("ttyUSB32"); // beyond the family's 32 numbers
    std::ofstream(roots.dev + "/ttyUSB5") << "no device";

    EXPECT_EQ(enumerated(roots), (std::vector<unsigned>{1, 32, 36, 65, 96}));
    EXPECT_EQ(portDevicePath(1, roots), roots.dev + "/ttyS0");
    EXPECT_EQ(portDevicePath(2, roots), "");
    EXPECT_EQ(portDevicePath(32, roots), roots.dev + "/ttyS31");
    EXPECT_EQ(portDevicePath(36, roots), roots.dev + "/ttyUSB3");
    EXPECT_EQ(portDevicePath(38, roots), "");
    EXPECT_EQ(portDevicePath(65, roots), roots.dev + "/ttyACM0");
    EXPECT_EQ(portDevicePath(96, roots), roots.dev + "/ttyACM31");
    EXPECT_EQ(portDevicePath(97, roots), "");
    EXPECT_EQ(portDevicePath(-1, roots), "");
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
        DeviceTree devices(home.path() + "/machine");
        EXPECT_EQ(enumerated(devices.roots()), std::vector<unsigned>{7});
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
