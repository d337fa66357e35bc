#pragma once
// The KFW firmware file: a 16-byte header (code type, code version) and the
// program code scrambled with FirmwareKey. Reading fills the image that a
// download sends; packing is its inverse, for firmware builds and tests.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace kv350::firmware {

inline constexpr std::array<std::uint8_t, 8> FirmwareKey = {0x3C, 0xA1, 0x5E, 0x07, 0xD2, 0x94, 0x6B, 0xF8};
inline constexpr int KfwHeaderSize = 16;
inline constexpr int CodeTypeWidth = 12;
inline constexpr int CodeVersionWidth = 4;
// Payload bytes beyond this are not part of the image.
inline constexpr int MaxFirmwareLength = 0x3400;
inline constexpr int FirmwareImageSize = 65536;

// The image a download sends: the descrambled payload from index 0, 0xFF behind it.
struct FirmwareState {
    std::array<std::uint8_t, FirmwareImageSize> FirmwareImage;
    std::uint16_t FirmwareLength = 0;
    std::uint16_t FirmwareChecksum = 0;  // sum of the image bytes, modulo 65536

    FirmwareState() { FirmwareImage.fill(0xFF); }
};

struct KfwHeader {
    QString codeType;     // up to the first NUL of bytes 0..11
    QString codeVersion;  // up to the first NUL of bytes 12..15
};

enum class KfwRead {
    Loaded,
    CannotOpen,
    TooShort,  // fewer bytes than the header: not a firmware file
};

struct KfwReadResult {
    KfwRead status = KfwRead::CannotOpen;
    KfwHeader header;
    // Payload bytes in the file, also those beyond MaxFirmwareLength that the image leaves out.
    qint64 payloadSize = 0;
};

// Sets every image byte to 0xFF, then reads the file. Length and checksum are
// replaced only when the file was read (status Loaded); at most
// MaxFirmwareLength payload bytes are read, whatever the file's size.
KfwReadResult readKfwFile(const QString &path, FirmwareState &state);

// Header plus scrambled payload. The type and version are NUL-filled to their
// widths; empty when either is longer than its width. The payload is packed
// whole, also beyond MaxFirmwareLength (the loader then ignores the rest).
QByteArray packKfwFile(const QByteArray &codeType, const QByteArray &codeVersion, const QByteArray &payload);

// Applies FirmwareKey from payload position `position` on; its own inverse.
void scramble(std::uint8_t *bytes, int count, int position = 0);

std::uint16_t imageChecksum(const std::uint8_t *bytes, int count);

// "%04X": how length and checksum are shown.
QString hexWord(std::uint16_t value);

}  // namespace kv350::firmware
