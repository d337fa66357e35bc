#pragma once
#include "sim/core/readermodule.h"

namespace kv350::sim {

// Reboot and factory default (0x0F).
class SystemModule final : public ReaderModule {
public:
    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;
};

}  // namespace kv350::sim
