#include "device_tree.h"

#include <filesystem>
#include <fstream>

DeviceTree::DeviceTree(const std::string& folder) : roots_{folder + "/dev", folder + "/sys"} {
    std::filesystem::create_directories(roots_.dev);
    std::filesystem::create_directories(roots_.sys);
}

void DeviceTree::addDevice(const std::string& name, const std::string& target) {
    std::filesystem::create_symlink(target, roots_.dev + "/" + name);
}

void DeviceTree::setUartType(const std::string& name, int type) {
    const std::string folder = roots_.sys + "/class/tty/" + name;
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/type") << type << '\n';
}
