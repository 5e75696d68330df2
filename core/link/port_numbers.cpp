// Port numbers on POSIX: links "com<N>" in the per-user port directory give any device a
// number; otherwise a fixed scheme maps numbers onto the usual serial device families.

#include "core/link/port_numbers.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

#include "core/company_key.h"

namespace {

constexpr const char* linkPrefix = "com";
constexpr int familySize = 32;

struct DeviceFamily {
    const char* name;
    int firstPort;
    bool needsUart;
};
// COM1..32, COM33..64, COM65..96. Every ttyS node exists whether or not a UART is behind it.
constexpr DeviceFamily fixedScheme[] = {{"ttyS", 1, true}, {"ttyUSB", 33, false}, {"ttyACM", 65, false}};

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return {};
}

bool isCharacterDevice(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// The device a link names, or empty when its target is gone or is no terminal device.
std::string linkTarget(const std::string& directory, const std::string& name) {
    const std::string linkPath = directory + "/" + name;
    struct stat info {};
    if (::lstat(linkPath.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return {};
    if (!isCharacterDevice(linkPath)) return {};
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
    const ssize_t length = ::readlink(linkPath.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return {};
    target.resize(static_cast<std::size_t>(length));
    return target.front() == '/' ? target : directory + "/" + target;
}

// Port number -> device of every usable link. Where several names give one number (com7,
// COM7, com07), the plain lower-case name wins, then the first name in byte order.
std::map<int, std::string> portLinks() {
    std::map<int, std::string> links;
    const std::string directory = portDirectory();
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(directory.c_str()), ::closedir);
    if (!folder) return links;
    std::map<int, std::string> chosenName;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string name = entry->d_name;
        const int number = comPortNumber(name);
        if (number <= 0) continue;
        const std::string target = linkTarget(directory, name);
        if (target.empty()) continue;
        const std::string plain = linkPrefix + std::to_string(number);
        const auto chosen = chosenName.find(number);
        if (chosen != chosenName.end()) {
            const bool keep = chosen->second == plain || (name != plain && chosen->second < name);
            if (keep) continue;
        }
        chosenName[number] = name;
        links[number] = target;
    }
    return links;
}

// A ttyS node with no UART behind it is no port. The kernel reports the UART type in sysfs,
// which needs no open of the device (an open would raise the modem lines of a port that
// another program may be using); only without sysfs is the device asked itself.
bool uartPresent(const std::string& device, const std::string& name, const DeviceRoots& roots) {
    std::ifstream typeFile(roots.sys + "/class/tty/" + name + "/type");
    int type = -1;
    if (typeFile >> type) return type != 0;
#if defined(__linux__) && defined(TIOCGSERIAL)
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // A port that another program holds exclusively is there.
    if (fd < 0) return errno == EBUSY;
    serial_struct serial{};
    const bool present = ::ioctl(fd, TIOCGSERIAL, &serial) != 0 || serial.type != PORT_UNKNOWN;
    ::close(fd);
    return present;
#else
    static_cast<void>(device);
    return true;
#endif
}

// The fixed-scheme device of port n when it exists, else empty.
std::string schemeDevice(int n, const DeviceRoots& roots) {
    for (const DeviceFamily& family : fixedScheme) {
        const int index = n - family.firstPort;
        if (index < 0 || index >= familySize) continue;
        const std::string name = family.name + std::to_string(index);
        const std::string path = roots.dev + "/" + name;
        if (!isCharacterDevice(path)) return {};
        if (family.needsUart && !uartPresent(path, name, roots)) return {};
        return path;
    }
    return {};
}

} // namespace

std::string portDirectory() {
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        (config && config[0] == '/') ? std::string(config) : homeDirectory() + "/.config";
    return base + "/" + companyKey + "/ports";
}

std::string portLinkPath(int n) {
    return portDirectory() + "/" + linkPrefix + std::to_string(n);
}

// A dangling link is no port: its number falls back to the fixed scheme, as enumeration does.
std::string portDevicePath(int n, const DeviceRoots& roots) {
    if (n <= 0) return {};
    const std::map<int, std::string> links = portLinks();
    if (const auto link = links.find(n); link != links.end()) return link->second;
    return schemeDevice(n, roots);
}

// A number that a link gives is listed once, for the link, even when the fixed scheme's device
// of that number exists too: the link is what opening that number reaches.
void enumerateSerialPorts(std::vector<unsigned>& list, const DeviceRoots& roots) {
    list.clear();
    const std::map<int, std::string> links = portLinks();
    for (const auto& link : links)
        list.push_back(static_cast<unsigned>(link.first));
    for (const DeviceFamily& family : fixedScheme) {
        for (int index = 0; index < familySize; ++index) {
            const int n = family.firstPort + index;
            if (links.count(n) == 0 && !schemeDevice(n, roots).empty())
                list.push_back(static_cast<unsigned>(n));
        }
    }
}
