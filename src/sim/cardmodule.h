#pragma once
#include "readermodule.h"

namespace kv350::sim {

// Read Card ID (0x01) and Run Action (0x02) while no card technology is fitted: there is never a card.
class CardModule final : public ReaderModule {
public:
    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;
};

}  // namespace kv350::sim
