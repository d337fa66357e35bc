#pragma once
// The one way the link reaches a reader, whether it sits on a serial port or
// on USB HID: the transaction, the identification and the firmware download
// client are written against this and cannot tell the two apart.

#include "linkerror.h"

#include <QString>
#include <cstdint>

namespace kv350 {

// How a request went out.
enum class Sent {
    Whole,   // every byte of the frame
    Failed,  // nothing: the device refused the write (it may be back under a new connection)
    Part,    // only part of the frame: the reader may have a piece of it
    Gone,    // the device went away under the open handle
};

// How a wait for one reply ended.
struct Received {
    enum Kind {
        Frame,    // a frame came whole (it may still be too short to be a reply)
        Cut,      // a frame began but its end never came
        Gone,     // the device went away under the read
        Nothing,  // no frame began
    };
    Kind kind = Nothing;
    int length = 0;  // bytes delivered, also of a cut frame or one the device took with it
    // Nothing only: the reply window is over. False when a run of input that
    // starts no frame ended the read early, and the caller may wait on.
    bool windowOver = true;
};

class Transport {
public:
    virtual ~Transport() = default;

    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // An open USB device with the reader's ids is a reader; any serial port
    // opens, so a reader there must first answer a probe.
    virtual bool openProvesReader() const = 0;
    // How long a reader is given between an identification query and the
    // read of its reply; 0 where the read itself waits for it.
    virtual int settleMs() const = 0;
    // How long a reply is waited for.
    virtual int replyWindowMs() const = 0;

    // Drops input that arrived before, then writes one request frame.
    virtual Sent send(const std::uint8_t *frame, int length) = 0;
    // Waits up to windowMs for one reply frame and stores it in `into`, which
    // holds 257 bytes (a frame and the 0 written behind it). Report transports
    // deliver at most `limit` bytes of it (and still consume the rest); a byte
    // stream delivers the frame it found.
    virtual Received receive(std::uint8_t *into, int limit, int windowMs) = 0;
    // Throws away whatever arrives for ms (a reply come too late). False when
    // the device went away meanwhile.
    virtual bool drain(int ms) = 0;

    // For messages: the port's path, or "USB" and the ids.
    virtual QString describe() const = 0;
    // Why the last open, send or receive failed, as the device said it.
    virtual QString errorText() const = 0;
    // Why the last open failed, as a value; errorText() is its detail.
    virtual LinkError openError() const { return LinkError::OpenFailed; }
    // What it is when the device goes away under the open handle: a USB
    // reader unplugged, or a serial port that hung up.
    virtual LinkError goneError() const = 0;
};

}  // namespace kv350
