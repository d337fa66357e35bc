#pragma once
// A reader link wired to a virtual reader in process, over USB HID and the
// serial stream, in virtual time: the base of the rigs that drive a page or
// an upgrade without the window.
#include "link/readerlink.h"
#include "link/virtualtime.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"

#include <utility>

struct VirtualReaderLink {
    explicit VirtualReaderLink(kv350::sim::Identity identity = {}) : reader(std::move(identity)) {}

    kv350::VirtualTime time;
    kv350::sim::VirtualReader reader;
    kv350::sim::SimHidDevice hid{reader, time};
    kv350::sim::SimSerialStream serial{reader, time};
    kv350::ReaderLink link{hid, serial, time, time};
};
