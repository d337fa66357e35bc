#pragma once
// Several virtual readers on USB at once, and readers that come and go: the
// machine's USB bus as the link's HidBackend sees it. Each reader is a
// SimHidDevice with a path of its own ("sim:1", "sim:2", ...); enumerate lists
// the ones attached now, open(vid, pid) takes the first of them, as hidapi's
// open does, and openPath the one named.

#include "link/clock.h"
#include "link/hidbackend.h"
#include "sim/transports/simulatedreader.h"

#include <memory>
#include <vector>

namespace kv350::sim {

class SimHidBus final : public HidBackend {
public:
    explicit SimHidBus(Clock &clock) : m_clock(clock) {}

    // Puts a reader on the bus, attached from now (or from atMs, when later)
    // until it is detached; its path.
    QString attach(SimulatedReader reader, qint64 atMs = 0);
    // Takes the reader at this index out at atMs (now when earlier): an open
    // handle breaks, as when a cable is pulled.
    void detachAt(int index, qint64 atMs);
    void attachAt(int index, qint64 atMs);

    int size() const { return int(m_units.size()); }
    SimHidDevice &device(int index) { return *m_units.at(std::size_t(index)).simulated.hid; }
    VirtualReader &reader(int index) { return *m_units.at(std::size_t(index)).simulated.reader; }
    QString path(int index) const { return m_units.at(std::size_t(index)).path; }
    // The index of the device open now, -1 for none.
    int openIndex() const { return m_open; }

    bool open(std::uint16_t vid, std::uint16_t pid) override;
    bool openPath(const QString &path) override;
    QList<HidDeviceInfo> enumerate(std::uint16_t vid, std::uint16_t pid) override;
    void close() override;
    bool isOpen() const override;
    int writeReport(const QByteArray &payload) override;
    int readReport(QByteArray &out, int timeoutMs) override;
    QString errorText() const override;

private:
    struct Unit {
        SimulatedReader simulated;
        QString path;
        qint64 attachMs = 0;
        qint64 detachMs = -1;  // < 0: stays
    };
    // Plugs and unplugs whatever is due by now.
    void settle();
    bool attached(const Unit &unit) const;
    bool openUnit(int index);

    Clock &m_clock;
    std::vector<Unit> m_units;
    int m_open = -1;
    QString m_error;
};

}  // namespace kv350::sim
