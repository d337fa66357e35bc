#pragma once
#include "sim/cards/ntag203.h"
#include "sim/core/readermodule.h"

namespace kv350::sim {

// NFC Forum Type 2 tags (NTAG203, Ultralight) through the reader: read four
// pages (0x13) and write four pages (0x14). DATA is 00 00 p, then 16 bytes for
// a write; the two zero bytes stand where a MIFARE request has its key type and
// sector, and anything else there is refused. The reader activates the tag at
// the start of every command. A write is four page writes p…p+3 in order and
// stops at the first one the tag refuses (the pages before it stay written).
// Every failure is STA 01 without DATA; lastError() says why.
class NtagModule final : public ReaderModule {
public:
    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;

    // Why the last 0x13 or 0x14 failed; None after one that succeeded.
    NtagError lastError() const { return m_lastError; }

private:
    QByteArray failed(std::uint8_t cmd, NtagError error);

    NtagError m_lastError = NtagError::None;
};

}  // namespace kv350::sim
