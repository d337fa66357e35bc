#pragma once
// Constants of the reader command protocol. This is the only file that the
// program's side of the wire (link/) and the virtual reader (sim/) share; each
// side has its own frame code so that one bug cannot pass both.

#include <cstdint>

namespace kv350::proto {

inline constexpr std::uint8_t Stx = 0x02;

// Offsets inside a frame.
inline constexpr int OffStx = 0;
inline constexpr int OffLen = 1;
inline constexpr int OffCmd = 2;
inline constexpr int OffSta = 3;       // response only
inline constexpr int OffReqData = 3;   // request DATA
inline constexpr int OffRespData = 4;  // response DATA

inline constexpr int BufferSize = 256;  // RequestBuffer / ResponseBuffer

// Status byte values the program and the virtual reader know by name.
inline constexpr std::uint8_t StaOk = 0x00;
inline constexpr std::uint8_t StaFailed = 0x01;    // command understood, not done (no card, bad value)
inline constexpr std::uint8_t StaRejected = 0x10;  // fails the transaction itself

// Command codes.
inline constexpr std::uint8_t CmdModule = 0x00;  // ASCII pass-through to the UHF radio module
inline constexpr std::uint8_t CmdReadCardId = 0x01;
inline constexpr std::uint8_t CmdRunAction = 0x02;
inline constexpr std::uint8_t CmdParameter = 0x03;
inline constexpr std::uint8_t CmdUserData = 0x0C;
inline constexpr std::uint8_t CmdSerialNumber = 0x0D;
inline constexpr std::uint8_t CmdModelVersion = 0x0E;
inline constexpr std::uint8_t CmdSystem = 0x0F;
inline constexpr std::uint8_t CmdIso14443Uid = 0x11;
inline constexpr std::uint8_t CmdStoreKey = 0x12;
inline constexpr std::uint8_t CmdNtagRead = 0x13;
inline constexpr std::uint8_t CmdNtagWrite = 0x14;
inline constexpr std::uint8_t CmdMifareRead = 0x15;
inline constexpr std::uint8_t CmdMifareWrite = 0x16;
inline constexpr std::uint8_t CmdIso15693Inventory = 0x21;
inline constexpr std::uint8_t CmdIso15693Read = 0x22;
inline constexpr std::uint8_t CmdIso15693Write = 0x23;
inline constexpr std::uint8_t CmdIso15693Info = 0x24;

// DATA[0] of the system command 0x0F.
inline constexpr std::uint8_t SysReboot = 0x01;
inline constexpr std::uint8_t SysFactoryDefault = 0x02;
inline constexpr std::uint8_t SysBootLoader = 0x0F;

// Parameter codes of command 0x03.
inline constexpr std::uint8_t ParUsbMode = 0x01;
inline constexpr std::uint8_t ParReadMode = 0x02;
inline constexpr std::uint8_t ParIdFormat = 0x03;
inline constexpr std::uint8_t ParScanTime = 0x04;
inline constexpr std::uint8_t ParSameCardTime = 0x05;
inline constexpr std::uint8_t ParKeypadDelay = 0x06;
inline constexpr std::uint8_t ParKeyboardLayout = 0x07;
inline constexpr std::uint8_t ParMifareIdLocation = 0x11;
inline constexpr std::uint8_t ParIso15693IdBlock = 0x21;
inline constexpr std::uint8_t ParMicCardType = 0x23;
inline constexpr std::uint8_t ParLfCardType = 0x31;
inline constexpr std::uint8_t ParAutoEpc = 0x41;

// Identification replies have fixed sizes.
inline constexpr int SerialReplySize = 12;  // LEN 0x0A, 8 characters
inline constexpr int ModelReplySize = 20;   // LEN 0x12, 12 model + 4 version characters
inline constexpr int ModelNameWidth = 12;
inline constexpr int VersionWidth = 4;
inline constexpr int SerialWidth = 8;

// USB HID: the reader's default ids and the report size of our framing
// (docs/usb-framing.md). Report ID 0, 64 bytes of payload.
inline constexpr std::uint16_t DefaultVid = 0x0E6A;
inline constexpr std::uint16_t DefaultPid = 0x0317;
inline constexpr int HidReportSize = 64;

}  // namespace kv350::proto
