#pragma once
// A production line of virtual readers: one reader at a time on the USB bus,
// each with a serial number of its own, taken out when the station asks for
// it and followed by the next. Some of them misbehave on purpose, so that a
// provisioning station can be seen to record a failure for what it is.

#include "link/clock.h"
#include "sim/transports/simhidbus.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kv350::sim {

struct LineUnit {
    enum Kind {
        Good,         // "ok": holds what it is sent
        Differs,      // "differs=NAME": keeps its own value of that setting when it is written
        Vanishes,     // "vanish": goes away after the first setting it is sent, before the read-back's reply
        OldFirmware,  // "old": runs an older firmware (V0.9) than the virtual readers' V1.0
    };
    Kind kind = Good;
    std::uint8_t parameter = 0;  // Differs: the setting's code
    bool operator==(const LineUnit &) const = default;
};

// "ok,differs=scanTime,vanish,old,ok": one word per reader, in the order they come.
std::optional<std::vector<LineUnit>> parseLineUnits(const QString &text, QString *why);

// The version an "old" reader runs, and the one the others run.
inline constexpr char OldLineFirmware[] = "V0.9";

class VirtualLine {
public:
    // How long the person at the line takes to take a reader out once asked,
    // and to put the next one in after that.
    static constexpr int RemoveMs = 1000;
    static constexpr int NextMs = 1000;
    // Serial numbers: 20260001, 20260002, ...
    static constexpr int FirstSerial = 20260001;

    // The readers of the line, the first attached now; nothing, and why, when
    // the model cannot take a card kind.
    static std::optional<VirtualLine> make(const QString &model, const QStringList &cards,
                                           const std::vector<LineUnit> &units, Clock &clock, QString *why);

    SimHidBus &bus() { return *m_bus; }
    // The station is done with the reader at this path: it goes, and the next comes.
    void removalAsked(const QString &path);
    // The unit now on the bench (-1 after the last).
    int current() const { return m_current; }

private:
    explicit VirtualLine(Clock &clock) : m_clock(&clock), m_bus(std::make_unique<SimHidBus>(clock)) {}

    Clock *m_clock;
    std::unique_ptr<SimHidBus> m_bus;
    int m_current = 0;
};

}  // namespace kv350::sim
