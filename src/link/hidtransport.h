#pragma once
// The reader on USB HID, over the POD layer (pod.h): frames in 64-byte reports.

#include "pod.h"
#include "transport.h"

namespace kv350 {

class HidTransport final : public Transport {
public:
    // The reader is given this long between an identification query and its read.
    static constexpr int SettleMs = 100;

    HidTransport(HidBackend &backend, Clock &clock)
    {
        m_pod.backend = &backend;
        m_pod.clock = &clock;
    }

    // The ids and time-outs the device is opened and read with.
    PodRecord &record() { return m_pod; }
    void setIds(std::uint16_t vid, std::uint16_t pid)
    {
        m_pod.VID = vid;
        m_pod.PID = pid;
    }

    bool open() override { return ConnectPOD(m_pod, 1) == 0; }
    void close() override { DisconnectPOD(m_pod); }
    bool isOpen() const override { return m_pod.backend->isOpen(); }
    bool openProvesReader() const override { return true; }
    int settleMs() const override { return SettleMs; }
    int replyWindowMs() const override { return int(m_pod.ReadTimeout); }

    Sent send(const std::uint8_t *frame, int length) override;
    Received receive(std::uint8_t *into, int limit, int windowMs) override;
    bool drain(int ms) override { return DrainPOD(m_pod, ms) >= 0; }

    QString describe() const override;
    QString errorText() const override { return m_pod.backend->errorText(); }
    LinkError goneError() const override { return LinkError::DeviceGone; }
    LinkError openError() const override { return m_pod.backend->openError(); }

private:
    PodRecord m_pod;
};

}  // namespace kv350
