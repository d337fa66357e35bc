#pragma once
#include "sim/core/readermodule.h"

namespace kv350::sim {

// Read Card ID (0x01), Run Action (0x02) and the UID of the ISO 14443A card
// (0x11): the commands that only need to know which card is in the field.
class CardModule final : public ReaderModule {
public:
    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;
};

}  // namespace kv350::sim
