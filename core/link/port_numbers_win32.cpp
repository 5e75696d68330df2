// Port numbers on Windows: the system's COM numbers. The ports present are the ones the serial
// drivers list in the registry (HARDWARE\DEVICEMAP\SERIALCOMM: a value per port, its data the
// port name), which, unlike probing, needs no open of a port another program may be using.

#include "core/link/port_numbers.h"

#include <cstring>
#include <memory>
#include <type_traits>

#include <windows.h>

#include "core/link/port_names.h"

namespace {

constexpr const char* serialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char* deviceNamePrefix = "\\\\.\\COM";
// Value names can be this long; port names are far shorter, longer data is no port name.
constexpr DWORD longestValueName = 16383;
constexpr DWORD longestPortName = 255;

struct KeyCloser {
    void operator()(HKEY key) const noexcept { ::RegCloseKey(key); }
};
using OwnedKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// The port names in the data of the key's text values.
std::vector<std::string> portNames(HKEY key) {
    std::vector<std::string> names;
    std::string valueName(longestValueName + 1, '\0');
    char data[longestPortName];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(valueName.size());
        DWORD type = 0;
        DWORD dataSize = sizeof data;
        const LSTATUS status = ::RegEnumValueA(key, index, valueName.data(), &nameLength, nullptr, &type,
                                               reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        // The stored text may or may not include its terminator.
        names.emplace_back(data, ::strnlen(data, dataSize));
    }
    return names;
}

} // namespace

// "\\.\COM<n>" reaches every port number, also those above 9, which the plain name does not.
std::string portDevicePath(int n, const DeviceRoots&) {
    if (n <= 0) return {};
    return deviceNamePrefix + std::to_string(n);
}

void enumerateSerialPorts(std::vector<unsigned>& list, const DeviceRoots&) {
    list.clear();
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, serialCommKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return;
    const OwnedKey key(opened);
    list = comPortNumbers(portNames(key.get()));
}
