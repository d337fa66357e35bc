#pragma once
// Constants of the reader's boot-loader protocol (docs/boot-loader-protocol.md).
// Shared, like protocol.h, by the program's download client (firmware/) and the
// virtual reader's boot loader (sim/); each side has its own code for them.

#include <cstdint>

namespace kv350::boot {

// Commands 0x70-0x7F belong to the boot loader. An application answers them
// with STA 0x10 (unknown command), which is how the client tells the two apart.
inline constexpr std::uint8_t CmdStatus = 0x70;  // -> magic, protocol version, capacity, chunk size, flags
inline constexpr std::uint8_t CmdBegin = 0x71;   // offset, length, checksum (16-bit little-endian each)
inline constexpr std::uint8_t CmdData = 0x72;    // sequence (16-bit LE), 1..ChunkSize image bytes
inline constexpr std::uint8_t CmdEnd = 0x73;     // -> bytes received, their checksum
inline constexpr std::uint8_t CmdRun = 0x74;     // start the verified application

// STA values of the boot loader's replies.
inline constexpr std::uint8_t StaOk = 0x00;
inline constexpr std::uint8_t StaRefused = 0x01;         // the application will not enter its boot loader
inline constexpr std::uint8_t StaBadRange = 0x02;        // length 0, or offset + length beyond the capacity
inline constexpr std::uint8_t StaSequence = 0x03;        // DATA: the sequence number expected
inline constexpr std::uint8_t StaNoDownload = 0x04;      // DATA or END without BEGIN
inline constexpr std::uint8_t StaLengthMismatch = 0x05;  // END: not as many bytes as BEGIN announced
inline constexpr std::uint8_t StaChecksumMismatch = 0x06;
inline constexpr std::uint8_t StaProgramFailed = 0x07;  // the flash did not take the image
inline constexpr std::uint8_t StaNoApplication = 0x08;  // RUN without a verified image
inline constexpr std::uint8_t StaUnknown = 0x10;

inline constexpr char Magic[4] = {'K', 'V', 'B', 'L'};
inline constexpr std::uint8_t ProtocolVersion = 1;
// Image bytes in one DATA frame: 02 LEN 72 SEQ SEQ + 56 bytes = 61, one 64-byte report.
inline constexpr int ChunkSize = 56;
// STATUS flags.
inline constexpr std::uint8_t FlagApplicationValid = 0x01;

// The application's identity record: the first 16 bytes of every image, the
// model (12) and the version (4) as the reader's 0x0E reply carries them.
inline constexpr int IdentityRecordSize = 16;
// What the boot loader reports as its version in the 0x0E reply.
inline constexpr char BootVersion[5] = "BOOT";

}  // namespace kv350::boot
