#pragma once
#include "sim/core/readermodule.h"

namespace kv350::sim {

// The 256 bytes of user memory (0x0C).
class UserDataModule final : public ReaderModule {
public:
    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;
};

}  // namespace kv350::sim
