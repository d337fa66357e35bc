// The firmware file loader: any bytes as a KFW file.
//
// Properties: fewer than 16 bytes is TooShort; a refused file leaves the image
// all FF and length and checksum as they were; a loaded file's length is the
// payload's up to 0x3400, the image is the payload XORed with the key (byte i
// with key byte i mod 8) with FF behind it, the checksum is the image's
// sum, and type and version are the header's fields up to their first NUL.
// Packing the header fields and the image again loads back the same, and gives
// the file itself back where the file is what a pack makes.
#include "firmware/kfwfile.h"
#include "fuzztarget.h"

#include <memory>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#else
#include <QTemporaryFile>
#endif

using namespace kv350;
using namespace kv350::firmware;
using namespace kv350::fuzz;

namespace {

// The loader opens a path; on Linux the file lives in memory, not on the disk.
#ifdef Q_OS_LINUX
class MemoryFile {
public:
    explicit MemoryFile(const QByteArray &bytes) : m_fd(memfd_create("kfw", 0))
    {
        KV350_FUZZ_CHECK(m_fd >= 0, "memfd_create");
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.constData() + at, size_t(bytes.size() - at));
            KV350_FUZZ_CHECK(n > 0, "write to the memory file");
            at += n;
        }
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;
    QString path() const { return QStringLiteral("/proc/self/fd/%1").arg(m_fd); }

private:
    int m_fd;
};
#else
class MemoryFile {
public:
    explicit MemoryFile(const QByteArray &bytes)
    {
        KV350_FUZZ_CHECK(m_file.open() && m_file.write(bytes) == bytes.size() && m_file.flush(), "temporary file");
    }
    QString path() const { return m_file.fileName(); }

private:
    QTemporaryFile m_file;
};
#endif

QByteArray upToNul(const QByteArray &field)
{
    const qsizetype nul = field.indexOf('\0');
    return nul < 0 ? field : field.left(nul);
}

QByteArray imageOf(const FirmwareState &state, int from, int count)
{
    return QByteArray(reinterpret_cast<const char *>(state.FirmwareImage.data()) + from, count);
}

KfwReadResult load(const QByteArray &file, FirmwareState &state)
{
    MemoryFile memory(file);
    return readKfwFile(memory.path(), state);
}

}  // namespace

KV350_FUZZ_TARGET(kfw)(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    static const auto state = std::make_unique<FirmwareState>();
    // What a file loaded before left behind must not show through.
    state->FirmwareImage.fill(0x5A);
    state->FirmwareLength = 0x1234;
    state->FirmwareChecksum = 0x5678;

    const KfwReadResult read = load(file, *state);
    if (file.size() < KfwHeaderSize)
        KV350_FUZZ_CHECK(read.status == KfwRead::TooShort, "a file shorter than its header");
    if (read.status != KfwRead::Loaded) {
        // Nothing of a refused file may reach a download.
        KV350_FUZZ_CHECK(imageOf(*state, 0, FirmwareImageSize) == QByteArray(FirmwareImageSize, char(0xFF)),
                         "the image is all FF after a refused file");
        KV350_FUZZ_CHECK(state->FirmwareLength == 0x1234 && state->FirmwareChecksum == 0x5678,
                         "a refused file changed length or checksum");
        return 0;
    }
    const int length = qMin(int(file.size()) - KfwHeaderSize, MaxFirmwareLength);
    KV350_FUZZ_CHECK(state->FirmwareLength == length, "FirmwareLength");
    // Payload byte i is XORed with key byte i mod 8.
    for (int i = 0; i < length; ++i)
        KV350_FUZZ_CHECK(state->FirmwareImage[std::size_t(i)] ==
                             (quint8(file[KfwHeaderSize + i]) ^ FirmwareKey[std::size_t(i % 8)]),
                         "image byte " + std::to_string(i) + " is not the descrambled payload");
    KV350_FUZZ_CHECK(imageOf(*state, length, FirmwareImageSize - length) ==
                         QByteArray(FirmwareImageSize - length, char(0xFF)),
                     "FF behind the image");
    std::uint16_t sum = 0;
    for (int i = 0; i < length; ++i)
        sum = std::uint16_t(sum + state->FirmwareImage[std::size_t(i)]);
    KV350_FUZZ_CHECK(state->FirmwareChecksum == sum, "checksum");
    const QByteArray type = upToNul(file.left(CodeTypeWidth));
    const QByteArray version = upToNul(file.mid(CodeTypeWidth, CodeVersionWidth));
    KV350_FUZZ_CHECK(read.header.codeType == QString::fromLatin1(type), "code type");
    KV350_FUZZ_CHECK(read.header.codeVersion == QString::fromLatin1(version), "code version");

    // Pack and load again: the same image and header.
    const QByteArray image = imageOf(*state, 0, length);
    const QByteArray packed = packKfwFile(type, version, image);
    KV350_FUZZ_CHECK(packed.size() == KfwHeaderSize + length, "packed size");
    const auto again = std::make_unique<FirmwareState>();
    const KfwReadResult reread = load(packed, *again);
    KV350_FUZZ_CHECK(reread.status == KfwRead::Loaded, "a packed file is refused");
    KV350_FUZZ_CHECK(again->FirmwareImage == state->FirmwareImage && again->FirmwareLength == length &&
                         again->FirmwareChecksum == sum,
                     "a packed image loads back");
    KV350_FUZZ_CHECK(reread.header.codeType == read.header.codeType &&
                         reread.header.codeVersion == read.header.codeVersion,
                     "a packed header loads back");
    if (file.size() <= KfwHeaderSize + MaxFirmwareLength && file.left(KfwHeaderSize) == packed.left(KfwHeaderSize))
        KV350_FUZZ_CHECK(packed == file, "pack is the loader's inverse");
    return 0;
}
