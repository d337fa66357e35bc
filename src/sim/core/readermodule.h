#pragma once
#include "sim/core/simframe.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace kv350::sim {

struct Identity;
class ParameterStore;
class Field;

// What a command module may see and change of the reader.
class ReaderContext {
public:
    virtual ~ReaderContext() = default;
    virtual const Identity &identity() const = 0;
    virtual ParameterStore &parameters() = 0;
    virtual QByteArray &userMemory() = 0;
    // The cards in the reader's field.
    virtual Field &field() = 0;
    // The reader goes offline once the reply is out; the transport keeps the time.
    virtual void requestReboot() = 0;
    // Parameters and every module's own state back to the factory's.
    virtual void restoreFactoryDefaults() = 0;
};

// Frames a module sends without being asked, one every periodMs while it
// streams (the radio module's automatic test). The transport that carried the
// request which started it delivers them on its own clock.
class FrameStream {
public:
    virtual ~FrameStream() = default;
    virtual bool streaming() const = 0;
    virtual int periodMs() const = 0;
    virtual QByteArray nextFrame() = 0;
};

// One command family of the reader's firmware. The reader asks its modules,
// newest first, which one handles a command, so a module added later (a card
// technology) can take over a command from the basic ones.
class ReaderModule {
public:
    virtual ~ReaderModule() = default;
    virtual bool handles(std::uint8_t cmd) const = 0;
    // The replies in wire order, usually one; none leaves the reader silent.
    virtual std::vector<QByteArray> handle(const Request &request, ReaderContext &context) = 0;
    virtual void restoreFactoryDefaults() {}
    virtual FrameStream *stream() { return nullptr; }
};

}  // namespace kv350::sim
