#pragma once
#include "sim/core/readermodule.h"

namespace kv350::sim {

// Parameter read and write (0x03).
class ParameterModule final : public ReaderModule {
public:
    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;
};

}  // namespace kv350::sim
