// CSerialPort on a real pseudo-terminal, with the software timer at the other end.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include "core/link/port_numbers.h"
#include "core/link/serial_port.h"
#include "core/link/serial_termios.h"
#include "support/emulated_timer.h"
#include "support/rts_recorder.h"
#include "support/serial_port_calls.h"

namespace {

void setTotalTimeouts(CSerialPort& port, std::uint32_t ms) {
    CommTimeouts timeouts;
    timeouts.ReadTotalTimeoutConstant = ms;
    timeouts.WriteTotalTimeoutConstant = ms;
    port.SetTimeouts(timeouts);
}

} // namespace

TEST(SerialPort, ErrorMessageIsSystemTextCutToTheBuffer) {
    const CSerialException absent(ENOENT);
    EXPECT_EQ(absent.message(), std::strerror(ENOENT));
    char buffer[10];
    unsigned helpContext = 77;
    ASSERT_TRUE(absent.GetErrorMessage(buffer, sizeof buffer, &helpContext));
    EXPECT_EQ(std::string(buffer), std::string(std::strerror(ENOENT)).substr(0, 9));
    EXPECT_EQ(helpContext, 0u);

    const CSerialException unknown(0x7FFFFFF0u);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(unknown.GetErrorMessage(buffer, sizeof buffer));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_FALSE(absent.GetErrorMessage(buffer, 0));

    errno = EACCES;
    EXPECT_EQ(errorOf([] { ThrowSerialException(); }), static_cast<std::uint32_t>(EACCES));
    EXPECT_EQ(errorOf([] { ThrowSerialException(EIO); }), static_cast<std::uint32_t>(EIO));

    // A handler that knows only the standard exceptions still gets the system's text.
    try {
        ThrowSerialException(EIO);
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), std::strerror(EIO));
    }
}

TEST(SerialPort, ClosedPortRefusesEveryOperation) {
    CSerialPort port;
    EXPECT_FALSE(port.IsOpen());
    port.Close();
    port.Close();
    std::uint8_t byte = 0;
    SerialState state{};
    CommTimeouts timeouts;
    const std::uint32_t ebadf = EBADF;
    EXPECT_EQ(errorOf([&] { port.Read(&byte, 1); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.Write(&byte, 1); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.GetState(state); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.SetState(state); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.ClearRTS(); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.SetRTS(); }), ebadf);
    // ...also when its RTS calls go elsewhere.
    std::vector<std::string> rts;
    RtsRecorder recorder(rts);
    port.setModemControl(&recorder);
    EXPECT_EQ(errorOf([&] { port.ClearRTS(); }), ebadf);
    EXPECT_TRUE(rts.empty());
    EXPECT_EQ(errorOf([&] { port.Flush(); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.ClearWriteBuffer(); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.ClearReadBuffer(); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.Setup(1024, 1024); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.GetTimeouts(timeouts); }), ebadf);
    EXPECT_EQ(errorOf([&] { port.SetTimeouts(timeouts); }), ebadf);
}

TEST(SerialPort, OpenFailsOnAbsentHeldOrNonTerminalPorts) {
    EmulatedTimer timer;
    CSerialPort port;
    EXPECT_EQ(errorOf([&] { openLink(port, 42); }), static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(errorOf([&] { openLink(port, -1); }), static_cast<std::uint32_t>(ENOENT));
    EXPECT_FALSE(port.IsOpen());

    CSerialPort holder;
    openLink(holder, 7);
    EXPECT_EQ(errorOf([&] { openLink(port, 7); }), static_cast<std::uint32_t>(EBUSY));
    EXPECT_FALSE(port.IsOpen());
    // The holder's settings survive the failed attempt.
    SerialState state{};
    holder.GetState(state);
    EXPECT_EQ(cfgetospeed(&state.line), static_cast<speed_t>(B19200));
    holder.Close();
    openLink(port, 7);
    EXPECT_TRUE(port.IsOpen());
    port.Close();

    std::filesystem::create_symlink("/dev/null", portDirectory() + "/com30");
    EXPECT_EQ(errorOf([&] { openLink(port, 30); }), static_cast<std::uint32_t>(ENOTTY));
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, OpenSetsTheLineAndReopens) {
    TempConfigHome home;
    TimerEmulator first;
    TimerEmulator second;
    PtyRunner seven(first, 7);
    PtyRunner eight(second, 8);

    CSerialPort port;
    openLink(port, 7);
    EXPECT_EQ(port.devicePath(), seven.devicePath());
    SerialState settings{};
    port.GetState(settings);
    const termios& state = settings.line;
    EXPECT_EQ(cfgetospeed(&state), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&state), static_cast<speed_t>(B19200));
    EXPECT_EQ(state.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(state.c_cflag & CSTOPB);
    EXPECT_FALSE(state.c_cflag & (PARENB | CRTSCTS));
    EXPECT_EQ(state.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_FALSE(state.c_iflag & (IXON | IXOFF | ICRNL));
    EXPECT_FALSE(state.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(state.c_oflag & OPOST);

    // Open on an open port lets go of the first one, which others can then have.
    openLink(port, 8);
    EXPECT_EQ(port.devicePath(), eight.devicePath());
    CSerialPort other;
    openLink(other, 7);
    other.Close();
    openLink(other, 7);
    EXPECT_TRUE(other.IsOpen());

    other.Close();

    // A setting the line cannot take leaves no port open and nothing locked: the next Open,
    // ours or another program's, has the port.
    EXPECT_EQ(errorOf([&] { port.Open(7, 12345, NoParity, 8, TwoStopBits, NoFlowControl); }),
              static_cast<std::uint32_t>(EINVAL));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.devicePath(), "");
    openLink(other, 7);
    other.Close();
    openLink(port, 7);
    EXPECT_EQ(port.devicePath(), seven.devicePath());
}

TEST(SerialPort, LineSettingCodesFollowTheirTables) {
    termios state{};
    state.c_cflag = B9600 | CS7;
    applyLineSettings(state, 19200, EvenParity, 7, OneStopBit, CtsRtsFlowControl);
    EXPECT_EQ(state.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB));
    EXPECT_EQ(state.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_FALSE(state.c_cflag & CSTOPB);
    EXPECT_TRUE(state.c_cflag & CRTSCTS);
    EXPECT_EQ(cfgetospeed(&state), static_cast<speed_t>(B19200));

    applyLineSettings(state, 9600, OddParity, 5, OnePointFiveStopBits, XonXoffFlowControl);
    EXPECT_EQ(state.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | PARODD));
    EXPECT_EQ(state.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
    EXPECT_TRUE(state.c_cflag & CSTOPB);
    EXPECT_FALSE(state.c_cflag & CRTSCTS);
    EXPECT_EQ(state.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(state.c_cc[VSTART], 17);
    EXPECT_EQ(state.c_cc[VSTOP], 19);

    applyLineSettings(state, 9600, MarkParity, 6, TwoStopBits, DsrDtrFlowControl);
    EXPECT_EQ(state.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | PARODD | CMSPAR));
    EXPECT_EQ(state.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_TRUE(state.c_cflag & CRTSCTS);
    applyLineSettings(state, 9600, SpaceParity, 8, TwoStopBits, NoFlowControl);
    EXPECT_EQ(state.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | CMSPAR));
    EXPECT_FALSE(state.c_cflag & CRTSCTS);

    // Codes outside the tables leave parity, stop bits and flow control as they were, while
    // the rest of the record still becomes a raw line.
    applyLineSettings(state, 9600, OddParity, 8, TwoStopBits, XonXoffFlowControl);
    state.c_lflag |= ICANON;
    applyLineSettings(state, 4800, static_cast<Parity>(7), 8, static_cast<StopBits>(3),
                      static_cast<FlowControl>(7));
    EXPECT_EQ(state.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | PARODD));
    EXPECT_TRUE(state.c_cflag & CSTOPB);
    EXPECT_EQ(state.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_FALSE(state.c_lflag & ICANON);
    EXPECT_EQ(cfgetospeed(&state), static_cast<speed_t>(B4800));

    const termios before = state;
    EXPECT_EQ(errorOf([&] { applyLineSettings(state, 14400, NoParity, 8, OneStopBit, NoFlowControl); }),
              static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(errorOf([&] { applyLineSettings(state, 19200, NoParity, 9, OneStopBit, NoFlowControl); }),
              static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(errorOf([&] { applyLineSettings(state, 0, NoParity, 8, OneStopBit, NoFlowControl); }),
              static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(std::memcmp(&before, &state, sizeof state), 0);
}

TEST(SerialPort, TransfersBytesAndTimesOutOnSilence) {
    EmulatedTimer timer;
    CSerialPort port;
    openLink(port, 7);
    setTotalTimeouts(port, 1000);
    // A line without modem-control lines takes the RTS pulse as a no-op...
    port.ClearRTS();
    port.SetRTS();
    // ...so a recorder stands in for it.
    std::vector<std::string> rts;
    RtsRecorder recorder(rts);
    port.setModemControl(&recorder);
    port.ClearRTS();
    port.SetRTS();
    EXPECT_EQ(rts, (std::vector<std::string>{"rts clear", "rts set"}));
    port.Setup(1024, 1024);
    port.ClearReadBuffer();
    port.ClearWriteBuffer();

    const std::uint8_t identify = 'V';
    ASSERT_EQ(port.Write(&identify, 1), 1u);
    port.Flush();
    std::uint8_t reply[3] = {};
    // One request waits for the whole count, however the bytes arrive.
    ASSERT_EQ(port.Read(reply, 3), 3u);
    EXPECT_EQ(reply[0], 'V');
    EXPECT_EQ(reply[1], 0x12);
    EXPECT_EQ(reply[2], 0x21);

    CommTimeouts timeouts;
    port.GetTimeouts(timeouts);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1000u);
    timeouts.ReadTotalTimeoutConstant = 200;
    port.SetTimeouts(timeouts);
    EXPECT_EQ(port.Read(reply, 1), 0u);

    // A line that runs dry before the count is reached gives what came.
    const std::uint8_t apply = '@';
    ASSERT_EQ(port.Write(&apply, 1), 1u);
    EXPECT_EQ(port.Read(reply, 3), 1u);
    EXPECT_EQ(reply[0], '@');
}

TEST(SerialPort, PulledCableThrowsIoError) {
    EmulatedTimer timer;
    CSerialPort port;
    openLink(port, 7);
    setTotalTimeouts(port, 1000);
    timer.runner->dropLine();
    std::uint8_t byte = '!';
    const std::uint32_t eio = EIO;
    EXPECT_EQ(errorOf([&] { port.Read(&byte, 1); }), eio);
    EXPECT_EQ(errorOf([&] { port.Write(&byte, 1); }), eio);
    EXPECT_EQ(errorOf([&] { port.ClearReadBuffer(); }), eio);
    EXPECT_TRUE(port.IsOpen());
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, TimerStaysSilentOnAGarbledLine) {
    EmulatedTimer timer;
    CSerialPort port;
    const std::uint8_t wake = '!';
    std::uint8_t reply = 0;
    for (const auto& [baud, stopBits] : {std::pair{9600u, TwoStopBits}, std::pair{19200u, OneStopBit}}) {
        port.Open(7, baud, NoParity, 8, stopBits, NoFlowControl);
        setTotalTimeouts(port, 200);
        ASSERT_EQ(port.Write(&wake, 1), 1u);
        EXPECT_EQ(port.Read(&reply, 1), 0u) << baud;
    }
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);
    openLink(port, 7);
    setTotalTimeouts(port, 1000);
    ASSERT_EQ(port.Write(&wake, 1), 1u);
    ASSERT_EQ(port.Read(&reply, 1), 1u);
    EXPECT_EQ(reply, '!');
}

TEST(SerialPort, PacedLineCarriesTheSameBytes) {
    TempConfigHome home;
    TimerEmulator emulator;
    for (std::size_t i = 0; i < 256; ++i)
        emulator.parameterMemory()[i] = static_cast<std::uint8_t>(i);
    PtyRunner runner(emulator, 9, true);
    runner.start();
    CSerialPort port;
    openLink(port, 9);
    setTotalTimeouts(port, 1000);
    const std::uint8_t read = 'R';
    ASSERT_EQ(port.Write(&read, 1), 1u);
    std::uint8_t image[129] = {};
    ASSERT_EQ(port.Read(image, sizeof image), sizeof image);
    EXPECT_EQ(image[0], 'R');
    for (std::size_t i = 1; i < sizeof image; ++i)
        EXPECT_EQ(image[i], i - 1) << i;
}

TEST(SerialPort, WriteToALineThatTakesNothingEndsWithItsTimeOut) {
    TempConfigHome home;
    // A terminal whose far end never reads: its queue fills and then takes nothing more.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    std::filesystem::create_directories(portDirectory());
    std::filesystem::create_symlink(::ptsname(master), portDirectory() + "/com31");

    CSerialPort port;
    openLink(port, 31);
    setTotalTimeouts(port, 200);
    const std::vector<std::uint8_t> big(200000, 0x55);
    const std::size_t written = port.Write(big.data(), big.size());
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, big.size());
    port.Flush();
    port.Close();
    ::close(master);
}
