#include "simhiddevice.h"

#include "common/protocol.h"
#include "link/frame.h"

#include <algorithm>
#include <limits>

namespace kv350::sim {
namespace {

constexpr qint64 Never = std::numeric_limits<qint64>::max();

}  // namespace

SimHidDevice::SimHidDevice(VirtualReader &reader, Clock &clock)
    : m_reader(reader), m_clock(clock), m_host(reader), m_vid(proto::DefaultVid), m_pid(proto::DefaultPid)
{
}

void SimHidDevice::setIds(std::uint16_t vid, std::uint16_t pid)
{
    m_vid = vid;
    m_pid = pid;
}

bool SimHidDevice::open(std::uint16_t vid, std::uint16_t pid)
{
    close();
    if (vid != m_vid || pid != m_pid) {
        m_error = QStringLiteral("no USB HID device %1").arg(usbIdText(vid, pid));
        m_openError = LinkError::NoUsbDevice;
        return false;
    }
    const qint64 now = m_clock.nowMs();
    if (!present(now)) {
        m_error = QStringLiteral("the reader is not attached");
        m_openError = LinkError::NoUsbDevice;
        return false;
    }
    m_open = true;
    m_openedAtMs = now;
    m_host.takeStreamed(now);  // what the reader streamed while no handle was open is lost
    m_error.clear();
    m_openError = LinkError::None;
    return true;
}

void SimHidDevice::close()
{
    // Whatever was in flight to this handle goes with it.
    m_open = false;
    m_broken = false;
    m_inbox.clear();
    m_assembler.reset();
}

int SimHidDevice::writeReport(const QByteArray &payload)
{
    const qint64 now = m_clock.nowMs();
    refresh(now);
    if (!m_open) {
        m_error = QStringLiteral("the device is not open");
        return -1;
    }
    if (m_broken) {
        m_error = QStringLiteral("the reader was unplugged");
        return -1;
    }
    if (payload.size() > proto::HidReportSize) {
        m_error = QStringLiteral("a report has at most 64 bytes, not %1").arg(payload.size());
        return -1;
    }
    QByteArray report = payload;
    report.append(QByteArray(proto::HidReportSize - report.size(), '\0'));
    m_written.push_back(report);

    const std::optional<QByteArray> frame = m_assembler.push(report);
    if (!frame)
        return int(payload.size());
    enqueue(m_host.takeStreamed(now));  // streamed before the request came
    const ReaderHost::Outcome outcome = m_host.receive(*frame, now);
    if (outcome.writeFails) {
        breakHandle(now);
        m_error = QStringLiteral("the reader was unplugged");
        return -1;
    }
    enqueue(outcome.chunks);
    return int(payload.size());
}

int SimHidDevice::readReport(QByteArray &out, int timeoutMs)
{
    const qint64 now = m_clock.nowMs();
    refresh(now);
    if (!m_open) {
        m_error = QStringLiteral("the device is not open");
        return -1;
    }
    dropOverflow(now);
    const qint64 deadline = timeoutMs < 0 ? Never : now + timeoutMs;
    qint64 unplugAt = !m_broken && rebootAfterOpen() && m_host.offlineFromMs() > now ? m_host.offlineFromMs() : Never;
    if (const qint64 goneFrom = m_reader.faults().goneFromMs(); !m_broken && goneFrom > now)
        unplugAt = std::min(unplugAt, goneFrom);  // pulled out while a reply is awaited
    if (!m_broken)
        pullStreamed(now, std::min(deadline, unplugAt));

    if (!m_inbox.empty() && m_inbox.front().dueMs <= deadline && m_inbox.front().dueMs <= unplugAt) {
        waitUntil(m_inbox.front().dueMs);
        out = m_inbox.front().bytes;
        m_inbox.pop_front();
        return int(out.size());
    }
    if (m_broken) {
        m_error = QStringLiteral("the reader was unplugged");
        return -1;
    }
    if (unplugAt != Never && unplugAt <= deadline) {
        waitUntil(unplugAt);
        breakHandle(unplugAt);
        m_error = QStringLiteral("the reader was unplugged");
        return -1;
    }
    if (timeoutMs < 0)
        return 0;
    waitUntil(deadline);
    return 0;
}

QString SimHidDevice::descriptorSerial() const
{
    QByteArray serial = m_reader.identity().serial;
    if (const qsizetype nul = serial.indexOf('\0'); nul >= 0)
        serial.truncate(nul);
    return QString::fromLatin1(serial).trimmed();
}

void SimHidDevice::unplug()
{
    m_unplugged = true;
    if (m_open)
        breakHandle(m_clock.nowMs());
}

void SimHidDevice::plug()
{
    m_unplugged = false;
}

bool SimHidDevice::present(qint64 nowMs) const
{
    return !m_unplugged && !m_host.isRebooting(nowMs) && !m_reader.faults().isGone(nowMs);
}

bool SimHidDevice::rebootAfterOpen() const
{
    return m_host.offlineFromMs() >= m_openedAtMs;
}

void SimHidDevice::refresh(qint64 nowMs)
{
    if (!m_open || m_broken)
        return;
    // Evaluated lazily: a reboot that began (and maybe ended) since the last call still broke the handle.
    if (rebootAfterOpen() && nowMs >= m_host.offlineFromMs())
        breakHandle(m_host.offlineFromMs());
    else if (m_reader.faults().isGone(nowMs))
        breakHandle(m_reader.faults().goneFromMs());
}

void SimHidDevice::breakHandle(qint64 atMs)
{
    m_broken = true;
    m_assembler.reset();
    std::erase_if(m_inbox, [atMs](const Report &r) { return r.dueMs > atMs; });
}

void SimHidDevice::enqueue(const std::vector<TimedChunk> &chunks)
{
    // A frame's reports go out together: each one is due when its last byte is.
    // Noise and each reply start reports of their own.
    std::size_t i = 0;
    while (i < chunks.size()) {
        QByteArray bytes;
        std::vector<qint64> due;
        do {
            bytes.append(chunks[i].bytes);
            due.insert(due.end(), chunks[i].bytes.size(), chunks[i].dueMs);
            ++i;
        } while (i < chunks.size() && chunks[i].continues);

        const std::vector<QByteArray> reports = toReports(bytes);
        for (std::size_t r = 0; r < reports.size(); ++r) {
            const std::size_t first = r * proto::HidReportSize;
            const std::size_t last = std::min(due.size(), first + proto::HidReportSize);
            const qint64 dueMs = *std::max_element(due.begin() + first, due.begin() + last);
            const auto at = std::upper_bound(m_inbox.begin(), m_inbox.end(), dueMs,
                                             [](qint64 t, const Report &rep) { return t < rep.dueMs; });
            m_inbox.insert(at, {dueMs, reports[r]});
        }
    }
}

void SimHidDevice::pullStreamed(qint64 nowMs, qint64 horizonMs)
{
    // What is due by now, then the next frame if it comes before anything
    // queued and within the horizon: one frame at a time, so an endless stream
    // never fills the queue ahead of the clock.
    enqueue(m_host.takeStreamed(nowMs));
    const std::optional<qint64> next = m_host.nextStreamedMs();
    if (next && *next <= horizonMs && (m_inbox.empty() || *next < m_inbox.front().dueMs))
        enqueue(m_host.takeStreamed(*next));
}

void SimHidDevice::dropOverflow(qint64 nowMs)
{
    // As hidraw does: a handle holds so many unread reports, and what comes
    // while it is full is lost.
    std::size_t due = 0;
    for (auto it = m_inbox.begin(); it != m_inbox.end() && it->dueMs <= nowMs;) {
        if (++due > std::size_t(MaxUnreadReports))
            it = m_inbox.erase(it);
        else
            ++it;
    }
}

void SimHidDevice::waitUntil(qint64 dueMs)
{
    const qint64 now = m_clock.nowMs();
    if (dueMs > now)
        m_clock.blockFor(int(dueMs - now));
}

}  // namespace kv350::sim
