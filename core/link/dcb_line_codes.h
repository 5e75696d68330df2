#pragma once
// The line-setting codes of CSerialPort::Open as the Windows line-settings record (DCB) takes
// them. Written for any record with the DCB's field names, so that the same rules are checked
// on every build; the Windows backend applies them to the DCB it read from the port.

#include <cstdint>

#include "core/link/serial_port.h"

// The DCB's own values for the fields set here (those of the Windows headers).
namespace DcbValue {
inline constexpr std::uint8_t noParity = 0;
inline constexpr std::uint8_t oddParity = 1;
inline constexpr std::uint8_t evenParity = 2;
inline constexpr std::uint8_t markParity = 3;
inline constexpr std::uint8_t spaceParity = 4;
inline constexpr std::uint8_t oneStopBit = 0;
inline constexpr std::uint8_t onePointFiveStopBits = 1;
inline constexpr std::uint8_t twoStopBits = 2;
inline constexpr unsigned dtrControlHandshake = 2;
inline constexpr unsigned rtsControlHandshake = 2;
inline constexpr char xonCharacter = 17;
inline constexpr char xoffCharacter = 19;
inline constexpr std::uint16_t xonLimit = 100;
inline constexpr std::uint16_t xoffLimit = 100;
} // namespace DcbValue

// Sets the baud rate, the word size, and parity, stop bits and flow control after their code
// tables. A code outside its table leaves that setting as the port had it; DSR sensitivity is
// switched off for every flow-control code. Every other field stays as it was read: the input
// parity check, the error and event characters, and the DTR and RTS modes a code does not name.
template <typename Dcb>
void applyLineCodes(Dcb& dcb, std::uint32_t baud, Parity parity, std::uint8_t dataBits, StopBits stopBits,
                    FlowControl flow) {
    dcb.BaudRate = baud;
    dcb.ByteSize = dataBits;

    switch (parity) {
    case EvenParity:
        dcb.Parity = DcbValue::evenParity;
        break;
    case MarkParity:
        dcb.Parity = DcbValue::markParity;
        break;
    case NoParity:
        dcb.Parity = DcbValue::noParity;
        break;
    case OddParity:
        dcb.Parity = DcbValue::oddParity;
        break;
    case SpaceParity:
        dcb.Parity = DcbValue::spaceParity;
        break;
    default:
        break;
    }

    switch (stopBits) {
    case OneStopBit:
        dcb.StopBits = DcbValue::oneStopBit;
        break;
    case OnePointFiveStopBits:
        dcb.StopBits = DcbValue::onePointFiveStopBits;
        break;
    case TwoStopBits:
        dcb.StopBits = DcbValue::twoStopBits;
        break;
    default:
        break;
    }

    dcb.fDsrSensitivity = 0;
    const auto handshake = [&dcb](bool cts, bool dsr) {
        dcb.fOutxCtsFlow = cts ? 1 : 0;
        dcb.fOutxDsrFlow = dsr ? 1 : 0;
        dcb.fOutX = 0;
        dcb.fInX = 0;
    };
    switch (flow) {
    case NoFlowControl:
        handshake(false, false);
        break;
    case CtsRtsFlowControl:
        handshake(true, false);
        dcb.fRtsControl = DcbValue::rtsControlHandshake;
        break;
    case CtsDtrFlowControl:
        handshake(true, false);
        dcb.fDtrControl = DcbValue::dtrControlHandshake;
        break;
    case DsrRtsFlowControl:
        handshake(false, true);
        dcb.fRtsControl = DcbValue::rtsControlHandshake;
        break;
    case DsrDtrFlowControl:
        handshake(false, true);
        dcb.fDtrControl = DcbValue::dtrControlHandshake;
        break;
    case XonXoffFlowControl:
        handshake(false, false);
        dcb.fOutX = 1;
        dcb.fInX = 1;
        dcb.XonChar = DcbValue::xonCharacter;
        dcb.XoffChar = DcbValue::xoffCharacter;
        dcb.XonLim = DcbValue::xonLimit;
        dcb.XoffLim = DcbValue::xoffLimit;
        break;
    default:
        break;
    }
}
