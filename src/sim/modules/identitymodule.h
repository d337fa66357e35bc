#pragma once
#include "sim/core/readermodule.h"

namespace kv350::sim {

// Serial number (0x0D) and model/version (0x0E): fixed-size replies. Any DATA is ignored.
class IdentityModule final : public ReaderModule {
public:
    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;
};

}  // namespace kv350::sim
