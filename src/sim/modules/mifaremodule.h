#pragma once
#include "sim/cards/mifareclassic.h"
#include "sim/core/readermodule.h"
#include "sim/modules/mifarekeystore.h"

namespace kv350::sim {

// MIFARE Classic through the reader: store a key (0x12), read a block (0x15),
// write a block (0x16). Each command stands alone: the reader selects the card,
// authenticates with the typed key or the one it holds for the sector, and does
// the one operation. Every failure is STA 01 without DATA; lastError() says why.
class MifareModule final : public ReaderModule {
public:
    static constexpr std::uint8_t KeyTypeA = 0x60;
    static constexpr std::uint8_t KeyTypeB = 0x61;

    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;
    // A factory default erases the stored keys (docs/virtual-reader.md).
    void restoreFactoryDefaults() override { m_keys.clear(); }

    MifareKeyStore &keys() { return m_keys; }
    const MifareKeyStore &keys() const { return m_keys; }
    // Why the last 0x12, 0x15 or 0x16 failed; None after one that succeeded.
    MifareError lastError() const { return m_lastError; }

private:
    QByteArray storeKey(const QByteArray &data);
    QByteArray transfer(const Request &request, ReaderContext &context);
    QByteArray failed(std::uint8_t cmd, MifareError error);

    MifareKeyStore m_keys;
    MifareError m_lastError = MifareError::None;
};

}  // namespace kv350::sim
