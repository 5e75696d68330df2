// CSerialPort on the Windows communications functions, and the port list from the registry.
// The tests that need a port take its number from TAVOFOX_TEST_PORT, with the software timer at
// the other end of the line (CI maps the emulator's pseudo-terminal into a Wine prefix as that
// COM port).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "core/link/port_names.h"
#include "core/link/port_numbers.h"
#include "core/link/serial_dcb.h"
#include "core/link/serial_port.h"
#include "support/serial_port_calls.h"

namespace {

bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::optional<int> testPort() {
    const char* text = std::getenv("TAVOFOX_TEST_PORT");
    if (text == nullptr) return std::nullopt;
    const int number = comPortNumber(std::string("COM") + text);
    return number > 0 ? std::optional(number) : std::nullopt;
}

constexpr const char* noTestPort = "TAVOFOX_TEST_PORT names no COM port with the software timer behind it";

// The system's texts in US English for the length of a test, whatever the user's language.
class EnglishMessages {
public:
    EnglishMessages() : before_(::GetThreadUILanguage()) {
        ::SetThreadUILanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    }
    ~EnglishMessages() { ::SetThreadUILanguage(before_); }
    EnglishMessages(const EnglishMessages&) = delete;
    EnglishMessages& operator=(const EnglishMessages&) = delete;

private:
    LANGID before_;
};

// Values added to the registry's serial port list for the length of a test.
class SerialCommValues {
public:
    SerialCommValues() {
        status_ = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                    REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key_, nullptr);
    }
    ~SerialCommValues() {
        if (status_ != ERROR_SUCCESS) return;
        for (const std::string& name : names_)
            ::RegDeleteValueA(key_, name.c_str());
        ::RegCloseKey(key_);
    }
    SerialCommValues(const SerialCommValues&) = delete;
    SerialCommValues& operator=(const SerialCommValues&) = delete;

    bool usable() const { return status_ == ERROR_SUCCESS; }
    // withTerminator false stores the text without its terminating zero, as a driver may.
    void addText(const std::string& name, const std::string& text, bool withTerminator = true) {
        add(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + (withTerminator ? 1 : 0)));
    }
    void addNumber(const std::string& name, DWORD value) { add(name, REG_DWORD, &value, sizeof value); }

private:
    void add(const std::string& name, DWORD type, const void* data, DWORD size) {
        names_.push_back(name);
        ASSERT_EQ(::RegSetValueExA(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    HKEY key_ = nullptr;
    LSTATUS status_;
    std::vector<std::string> names_;
};

} // namespace

TEST(PortNumbersWin32, RegistryListGivesSortedNumbersOnce) {
    std::vector<unsigned> before;
    enumerateSerialPorts(before);
    SerialCommValues values;
    if (!values.usable()) GTEST_SKIP() << "changing the serial port list needs an administrator";
    values.addText("\\Device\\TavofoxTest0", "COM212");
    values.addText("\\Device\\TavofoxTest1", "com207", false);
    values.addText("\\Device\\TavofoxTest2", "COM212");
    values.addText("\\Device\\TavofoxTest3", "COMx");
    values.addText("\\Device\\TavofoxTest4", "COM300");
    values.addNumber("\\Device\\TavofoxTest5", 209);

    std::set<unsigned> expected(before.begin(), before.end());
    expected.insert({207, 212, 300});
    std::vector<unsigned> list = {99999};
    enumerateSerialPorts(list);
    EXPECT_EQ(list, std::vector<unsigned>(expected.begin(), expected.end()));
}

TEST(SerialPortWin32, ErrorTextsOfAnAbsentAndABusyPort) {
    const EnglishMessages english;
    // Wine words its message table in its own way.
    const bool wine = underWine();
    const CSerialException absent(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(absent.message(), wine ? "File not found." : "The system cannot find the file specified.");
    const CSerialException busy(ERROR_ACCESS_DENIED);
    EXPECT_EQ(busy.message(), wine ? "Access denied." : "Access is denied.");

    char buffer[10];
    unsigned helpContext = 77;
    ASSERT_TRUE(absent.GetErrorMessage(buffer, sizeof buffer, &helpContext));
    EXPECT_STREQ(buffer, wine ? "File not " : "The syste");
    EXPECT_EQ(helpContext, 0u);
    // Customer codes have no system text.
    const CSerialException unknown(0x2000ABCDu);
    EXPECT_FALSE(unknown.GetErrorMessage(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");

    ::SetLastError(ERROR_GEN_FAILURE);
    EXPECT_EQ(errorOf([] { ThrowSerialException(); }), static_cast<std::uint32_t>(ERROR_GEN_FAILURE));
    EXPECT_EQ(errorOf([] { ThrowSerialException(ERROR_ACCESS_DENIED); }),
              static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
}

TEST(SerialPortWin32, AbsentPortThrowsAndClosedPortRefusesEveryOperation) {
    CSerialPort port;
    const std::uint32_t notFound = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(errorOf([&] { openLink(port, 250); }), notFound);
    EXPECT_EQ(errorOf([&] { openLink(port, 0); }), notFound);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(portDevicePath(12), "\\\\.\\COM12");

    port.Close();
    std::uint8_t byte = 0;
    SerialState state;
    CommTimeouts timeouts;
    const std::uint32_t invalid = ERROR_INVALID_HANDLE;
    EXPECT_EQ(errorOf([&] { port.Read(&byte, 1); }), invalid);
    EXPECT_EQ(errorOf([&] { port.Write(&byte, 1); }), invalid);
    EXPECT_EQ(errorOf([&] { port.GetState(state); }), invalid);
    EXPECT_EQ(errorOf([&] { port.SetState(state); }), invalid);
    EXPECT_EQ(errorOf([&] { port.ClearRTS(); }), invalid);
    EXPECT_EQ(errorOf([&] { port.SetRTS(); }), invalid);
    EXPECT_EQ(errorOf([&] { port.Flush(); }), invalid);
    EXPECT_EQ(errorOf([&] { port.ClearWriteBuffer(); }), invalid);
    EXPECT_EQ(errorOf([&] { port.ClearReadBuffer(); }), invalid);
    EXPECT_EQ(errorOf([&] { port.Setup(1024, 1024); }), invalid);
    EXPECT_EQ(errorOf([&] { port.GetTimeouts(timeouts); }), invalid);
    EXPECT_EQ(errorOf([&] { port.SetTimeouts(timeouts); }), invalid);
}

TEST(SerialPortWin32, OpenSetsTheLineAndTransfersWithinTheTimeouts) {
    const std::optional<int> number = testPort();
    if (!number) GTEST_SKIP() << noTestPort;
    CSerialPort port;
    openLink(port, *number);
    EXPECT_EQ(port.devicePath(), "\\\\.\\COM" + std::to_string(*number));
    SerialState state;
    port.GetState(state);
    EXPECT_EQ(state.line.BaudRate, 19200u);
    EXPECT_EQ(state.line.ByteSize, 8);
    EXPECT_EQ(state.line.Parity, NOPARITY);
    EXPECT_EQ(state.line.StopBits, TWOSTOPBITS);
    EXPECT_EQ(state.line.fOutxCtsFlow + state.line.fOutxDsrFlow + state.line.fOutX + state.line.fInX, 0u);

    port.Setup(1024, 1024);
    const CommTimeouts wanted{0, 100, 300, 5, 1000};
    port.SetTimeouts(wanted);
    CommTimeouts timeouts;
    port.GetTimeouts(timeouts);
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 300u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 5u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 1000u);
    // A line without modem-control lines takes the reset pulse as a no-op.
    port.ClearRTS();
    port.SetRTS();
    port.ClearReadBuffer();
    port.ClearWriteBuffer();

    // The timer says nothing unasked: a read of 4 bytes gives up after 100 * 4 + 300 ms, not before.
    std::uint8_t reply[4] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(reply, 4), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(650));

    const std::uint8_t identify = 'V';
    ASSERT_EQ(port.Write(&identify, 1), 1u);
    port.Flush();
    ASSERT_EQ(port.Read(reply, 3), 3u);
    EXPECT_EQ(reply[0], 'V');
    EXPECT_EQ(reply[1], 0x12);
    EXPECT_EQ(reply[2], 0x21);

    // Open on an open port lets go of it first; a setting the driver refuses leaves no port
    // open and the port free for the next open.
    openLink(port, *number);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_NE(errorOf([&] { port.Open(*number, 19200, NoParity, 9, TwoStopBits, NoFlowControl); }), 0u);
    EXPECT_FALSE(port.IsOpen());
    openLink(port, *number);
    EXPECT_TRUE(port.IsOpen());
}

TEST(SerialPortWin32, BusyPortIsRefusedWithAccessDenied) {
    const std::optional<int> number = testPort();
    if (!number) GTEST_SKIP() << noTestPort;
    if (underWine()) GTEST_SKIP() << "Wine does not refuse a second open of a COM port";
    CSerialPort holder;
    openLink(holder, *number);
    CSerialPort port;
    EXPECT_EQ(errorOf([&] { openLink(port, *number); }), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(port.IsOpen());
    SerialState state;
    holder.GetState(state);
    EXPECT_EQ(state.line.BaudRate, 19200u);
}
