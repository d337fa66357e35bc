#pragma once
// The USB side of a ReaderLink that the serial benchmarks never use.
#include "link/hidbackend.h"

#include <QString>

namespace kv350::bench {

struct NullHid final : HidBackend {
    bool open(std::uint16_t, std::uint16_t) override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    int writeReport(const QByteArray &) override { return -1; }
    int readReport(QByteArray &, int) override { return -1; }
    QString errorText() const override { return QStringLiteral("no USB here"); }
};

}  // namespace kv350::bench
