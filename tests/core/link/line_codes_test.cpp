// What the Windows serial backend works out without a port, checked on every build: the line
// settings record (DCB) from the codes of Open, and the port numbers from the port names.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "core/link/dcb_line_codes.h"
#include "core/link/port_names.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

#if defined(_WIN32)
using Record = DCB;
constexpr unsigned parityValue[] = {EVENPARITY, MARKPARITY, NOPARITY, ODDPARITY, SPACEPARITY};
constexpr unsigned stopBitsValue[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
constexpr unsigned dtrEnable = DTR_CONTROL_ENABLE;
constexpr unsigned dtrHandshake = DTR_CONTROL_HANDSHAKE;
constexpr unsigned rtsToggle = RTS_CONTROL_TOGGLE;
constexpr unsigned rtsHandshake = RTS_CONTROL_HANDSHAKE;
#else
// The DCB as the Windows headers lay it out, with their values for its fields.
struct Record {
    std::uint32_t DCBlength;
    std::uint32_t BaudRate;
    std::uint32_t fBinary : 1;
    std::uint32_t fParity : 1;
    std::uint32_t fOutxCtsFlow : 1;
    std::uint32_t fOutxDsrFlow : 1;
    std::uint32_t fDtrControl : 2;
    std::uint32_t fDsrSensitivity : 1;
    std::uint32_t fTXContinueOnXoff : 1;
    std::uint32_t fOutX : 1;
    std::uint32_t fInX : 1;
    std::uint32_t fErrorChar : 1;
    std::uint32_t fNull : 1;
    std::uint32_t fRtsControl : 2;
    std::uint32_t fAbortOnError : 1;
    std::uint32_t fDummy2 : 17;
    std::uint16_t wReserved;
    std::uint16_t XonLim;
    std::uint16_t XoffLim;
    std::uint8_t ByteSize;
    std::uint8_t Parity;
    std::uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    std::uint16_t wReserved1;
};
// EVENPARITY, MARKPARITY, NOPARITY, ODDPARITY, SPACEPARITY in the order of the Parity codes.
constexpr unsigned parityValue[] = {2, 3, 0, 1, 4};
// ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS.
constexpr unsigned stopBitsValue[] = {0, 1, 2};
constexpr unsigned dtrEnable = 1;
constexpr unsigned dtrHandshake = 2;
constexpr unsigned rtsToggle = 3;
constexpr unsigned rtsHandshake = 2;
#endif

// Every field of the record in its order, so that a test sees any field that changed.
std::vector<long long> fields(const Record& r) {
    return {r.BaudRate,        r.fBinary,           r.fParity,  r.fOutxCtsFlow, r.fOutxDsrFlow, r.fDtrControl,
            r.fDsrSensitivity, r.fTXContinueOnXoff, r.fOutX,    r.fInX,         r.fErrorChar,   r.fNull,
            r.fRtsControl,     r.fAbortOnError,     r.XonLim,   r.XoffLim,      r.ByteSize,     r.Parity,
            r.StopBits,        r.XonChar,           r.XoffChar, r.ErrorChar,    r.EofChar,      r.EvtChar};
}

// A port as a driver may leave it: every switch on, DTR enabled, RTS toggling, odd characters.
Record portAsFound() {
    Record r{};
    r.DCBlength = sizeof r;
    r.BaudRate = 1200;
    r.fBinary = r.fParity = r.fOutxCtsFlow = r.fOutxDsrFlow = r.fDsrSensitivity = 1;
    r.fTXContinueOnXoff = r.fOutX = r.fInX = r.fErrorChar = r.fNull = r.fAbortOnError = 1;
    r.fDtrControl = dtrEnable;
    r.fRtsControl = rtsToggle;
    r.XonLim = 7;
    r.XoffLim = 9;
    r.ByteSize = 7;
    r.Parity = static_cast<std::uint8_t>(parityValue[OddParity]);
    r.StopBits = static_cast<std::uint8_t>(stopBitsValue[OnePointFiveStopBits]);
    r.XonChar = 'a';
    r.XoffChar = 'b';
    r.ErrorChar = '?';
    r.EofChar = 26;
    r.EvtChar = 10;
    return r;
}

} // namespace

TEST(DcbLineCodes, TheLinkSettingsGiveNineteenTwoHundredEightNoneTwoWithoutFlowControl) {
    Record dcb = portAsFound();
    applyLineCodes(dcb, 19200, NoParity, 8, TwoStopBits, NoFlowControl);
    Record expected = portAsFound();
    expected.BaudRate = 19200;
    expected.ByteSize = 8;
    expected.Parity = static_cast<std::uint8_t>(parityValue[NoParity]);
    expected.StopBits = static_cast<std::uint8_t>(stopBitsValue[TwoStopBits]);
    expected.fOutxCtsFlow = expected.fOutxDsrFlow = expected.fOutX = expected.fInX = 0;
    expected.fDsrSensitivity = 0;
    // The input parity check, DTR and RTS modes and the special characters stay as found.
    EXPECT_EQ(fields(dcb), fields(expected));
}

TEST(DcbLineCodes, ParityAndStopBitsFollowTheirTablesAndOtherCodesLeaveThem) {
    for (int code = EvenParity; code <= SpaceParity; ++code) {
        Record dcb = portAsFound();
        applyLineCodes(dcb, 9600, static_cast<Parity>(code), 8, OneStopBit, NoFlowControl);
        EXPECT_EQ(dcb.Parity, parityValue[code]) << code;
        EXPECT_EQ(dcb.fParity, 1u) << code;
    }
    for (int code = OneStopBit; code <= TwoStopBits; ++code) {
        Record dcb = portAsFound();
        applyLineCodes(dcb, 9600, NoParity, 5, static_cast<StopBits>(code), NoFlowControl);
        EXPECT_EQ(dcb.StopBits, stopBitsValue[code]) << code;
    }
    Record dcb = portAsFound();
    applyLineCodes(dcb, 9600, static_cast<Parity>(5), 8, static_cast<StopBits>(3), NoFlowControl);
    EXPECT_EQ(dcb.Parity, portAsFound().Parity);
    EXPECT_EQ(dcb.StopBits, portAsFound().StopBits);
}

TEST(DcbLineCodes, FlowControlFollowsItsTable) {
    struct Row {
        int code;
        unsigned cts, dsr, dtr, rts, xonXoff;
    };
    const unsigned dtrBefore = portAsFound().fDtrControl;
    const unsigned rtsBefore = portAsFound().fRtsControl;
    const Row table[] = {
        {NoFlowControl, 0, 0, dtrBefore, rtsBefore, 0},
        {CtsRtsFlowControl, 1, 0, dtrBefore, rtsHandshake, 0},
        {CtsDtrFlowControl, 1, 0, dtrHandshake, rtsBefore, 0},
        {DsrRtsFlowControl, 0, 1, dtrBefore, rtsHandshake, 0},
        {DsrDtrFlowControl, 0, 1, dtrHandshake, rtsBefore, 0},
        {XonXoffFlowControl, 0, 0, dtrBefore, rtsBefore, 1},
    };
    for (const Row& row : table) {
        Record dcb = portAsFound();
        applyLineCodes(dcb, 9600, NoParity, 8, OneStopBit, static_cast<FlowControl>(row.code));
        EXPECT_EQ(dcb.fOutxCtsFlow, row.cts) << row.code;
        EXPECT_EQ(dcb.fOutxDsrFlow, row.dsr) << row.code;
        EXPECT_EQ(dcb.fDtrControl, row.dtr) << row.code;
        EXPECT_EQ(dcb.fRtsControl, row.rts) << row.code;
        EXPECT_EQ(dcb.fOutX, row.xonXoff) << row.code;
        EXPECT_EQ(dcb.fInX, row.xonXoff) << row.code;
        EXPECT_EQ(dcb.fDsrSensitivity, 0u) << row.code;
        EXPECT_EQ(dcb.fTXContinueOnXoff, 1u) << row.code;
        if (row.code == XonXoffFlowControl) {
            EXPECT_EQ(std::make_tuple(dcb.XonChar, dcb.XoffChar, dcb.XonLim, dcb.XoffLim),
                      std::make_tuple(char{17}, char{19}, std::uint16_t{100}, std::uint16_t{100}));
        } else {
            EXPECT_EQ(std::make_tuple(dcb.XonChar, dcb.XoffChar, dcb.XonLim, dcb.XoffLim),
                      std::make_tuple('a', 'b', std::uint16_t{7}, std::uint16_t{9}))
                << row.code;
        }
    }

    // A code above the table only switches DSR sensitivity off.
    Record dcb = portAsFound();
    applyLineCodes(dcb, 1200, OddParity, 7, OnePointFiveStopBits, static_cast<FlowControl>(6));
    Record expected = portAsFound();
    expected.fDsrSensitivity = 0;
    EXPECT_EQ(fields(dcb), fields(expected));
}

TEST(PortNames, GiveSortedNumbersOnce) {
    EXPECT_EQ(comPortNumber("COM12"), 12);
    EXPECT_EQ(comPortNumber("com7"), 7);
    EXPECT_EQ(comPortNumber("Com300"), 300);
    for (const char* notAPort : {"COM", "COMx", "COM3x", "COM 3", "LPT1", "COM0", "COM2147483648", ""})
        EXPECT_EQ(comPortNumber(notAPort), 0) << notAPort;

    const std::vector<std::string> names = {"COM10", "COM3", "\\Device\\Serial0", "COM3", "com256", "COM1"};
    EXPECT_EQ(comPortNumbers(names), (std::vector<unsigned>{1, 3, 10, 256}));
    EXPECT_TRUE(comPortNumbers({}).empty());
}
