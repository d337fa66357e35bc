#pragma once
#include "hidbackend.h"

struct hid_device_;

namespace kv350 {

// The real USB HID device through hidapi (hidraw on Linux).
class HidapiBackend final : public HidBackend {
public:
    HidapiBackend();
    ~HidapiBackend() override;
    HidapiBackend(const HidapiBackend &) = delete;
    HidapiBackend &operator=(const HidapiBackend &) = delete;

    bool open(std::uint16_t vid, std::uint16_t pid) override;
    bool openPath(const QString &path) override;
    QList<HidDeviceInfo> enumerate(std::uint16_t vid, std::uint16_t pid) override;
    void close() override;
    bool isOpen() const override { return m_device != nullptr; }
    int writeReport(const QByteArray &payload) override;
    int readReport(QByteArray &out, int timeoutMs) override;
    QString errorText() const override { return m_error; }
    LinkError openError() const override { return m_openError; }

private:
    void takeError(const char *what);

    hid_device_ *m_device = nullptr;
    QString m_error;
    LinkError m_openError = LinkError::None;
};

}  // namespace kv350
