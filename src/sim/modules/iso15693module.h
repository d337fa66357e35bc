#pragma once
#include "sim/cards/iso15693tag.h"
#include "sim/core/readermodule.h"

namespace kv350::sim {

// Why the last ISO 15693 command failed, for tests.
enum class IsoError {
    None,
    NoTag,              // reader: no ISO 15693 tag in the field
    Malformed,          // reader: DATA of the wrong length, or a block count of 0 or above MaxBlocksPerCommand
    NotAddressed,       // tag: the UID is not the tag's; nothing answered
    BlockNotAvailable,  // tag: error 10, a block beyond the tag's memory
    BlockLocked,        // tag: error 12, a locked block
};
const char *isoErrorName(IsoError error);

// ISO 15693 through the reader: inventory (0x21), read blocks (0x22), write
// blocks (0x23) and system information (0x24). The addressed commands carry
// the UID as the inventory returned it (the order on the air), then for a read
// or write the first block and the number of blocks, and for a write 4 bytes
// per block. A reply's DATA is the tag's response from its flags on. The reader
// writes one block at a time and stops at the first the tag refuses (the
// blocks before it stay written); a successful write answers with the blocks
// read back. Failures are STA 01: with the tag's error response (01, code) as
// DATA when the tag answered, without DATA otherwise.
class Iso15693Module final : public ReaderModule {
public:
    static constexpr int MaxBlocksPerCommand = 32;

    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;

    // Why the last 0x21–0x24 failed; None after one that succeeded.
    IsoError lastError() const { return m_lastError; }

private:
    QByteArray answer(const Request &request, Iso15693Tag &tag);
    QByteArray failed(std::uint8_t cmd, IsoError error, const QByteArray &data = {});
    // The tag's response as the reply: nothing from the tag, or its error flag, fail.
    QByteArray relay(std::uint8_t cmd, const std::optional<QByteArray> &response);

    IsoError m_lastError = IsoError::None;
};

}  // namespace kv350::sim
