#include "pod.h"

#include <QLoggingCategory>
#include <cstring>

Q_LOGGING_CATEGORY(lcPod, "kv350.link.usb", QtWarningMsg)

namespace kv350 {
namespace {
// A flood of input must not keep a clear or a read busy for ever.
constexpr int MaxReportsPerCall = 64;
}  // namespace

int ConnectPOD(PodRecord &pod, int /*index*/)
{
    if (!pod.backend)
        return -1;
    const bool opened = pod.path.isEmpty() ? pod.backend->open(std::uint16_t(pod.VID), std::uint16_t(pod.PID))
                                           : pod.backend->openPath(pod.path);
    if (!opened) {
        qCDebug(lcPod) << "open failed:" << pod.backend->errorText();
        return 1;
    }
    return 0;
}

void DisconnectPOD(PodRecord &pod)
{
    if (pod.backend)
        pod.backend->close();
}

int ClearPODBuffer(PodRecord &pod)
{
    if (!pod.backend || !pod.backend->isOpen())
        return -1;
    QByteArray report;
    for (int i = 0; i < MaxReportsPerCall && pod.backend->readReport(report, 0) > 0; ++i)
        qCDebug(lcPod) << "dropped stale report" << report.toHex(' ');
    return 0;
}

int DrainPOD(PodRecord &pod, int ms)
{
    if (!pod.backend || !pod.backend->isOpen() || !pod.clock)
        return 0;
    const qint64 deadline = pod.clock->nowMs() + qMax(0, ms);
    QByteArray report;
    int dropped = 0;
    for (;;) {
        const qint64 left = deadline - pod.clock->nowMs();
        if (left <= 0)
            break;
        const int got = pod.backend->readReport(report, int(left));
        if (got < 0) {
            qCDebug(lcPod) << "read failed while draining:" << pod.backend->errorText();
            return -1;
        }
        if (got == 0)
            break;
        ++dropped;
        qCDebug(lcPod) << "dropped late report" << report.toHex(' ');
    }
    return dropped;
}

int WriteData(PodRecord &pod, const std::uint8_t *data, int count, int *written)
{
    if (written)
        *written = 0;
    if (!pod.backend || !pod.backend->isOpen() || count <= 0)
        return -1;
    for (int offset = 0; offset < count; offset += proto::HidReportSize) {
        const int n = qMin(proto::HidReportSize, count - offset);
        QByteArray report(reinterpret_cast<const char *>(data + offset), n);
        report.append(QByteArray(proto::HidReportSize - n, '\0'));
        if (pod.backend->writeReport(report) < 0) {
            qCDebug(lcPod) << "write failed:" << pod.backend->errorText();
            return 1;
        }
        if (written)
            *written = offset + n;
    }
    return 0;
}

int ReadData(PodRecord &pod, std::uint8_t *dest, int maxWanted, int *read)
{
    return ReadDataWithin(pod, dest, maxWanted, read, int(pod.ReadTimeout));
}

int ReadDataWithin(PodRecord &pod, std::uint8_t *dest, int maxWanted, int *read, int timeoutMs)
{
    if (read)
        *read = 0;
    if (!pod.backend || !pod.backend->isOpen() || !pod.clock)
        return -1;
    Clock &clock = *pod.clock;
    const qint64 deadline = clock.nowMs() + qMax(0, timeoutMs);
    auto remaining = [&] { return int(qMax<qint64>(0, deadline - clock.nowMs())); };

    QByteArray report;
    QByteArray frame;
    for (int i = 0; i < MaxReportsPerCall && frame.isEmpty(); ++i) {
        const int got = pod.backend->readReport(report, remaining());
        if (got < 0)
            return -1;
        if (got == 0)
            return 1;
        if (quint8(report[0]) == proto::Stx)
            frame = report;
        else
            qCDebug(lcPod) << "dropped report outside a frame" << report.toHex(' ');
    }
    if (frame.isEmpty())
        return 1;

    const int total = frame.size() >= 2 ? quint8(frame[1]) + 2 : int(frame.size());
    int result = 0;
    while (frame.size() < total) {
        const int got = pod.backend->readReport(report, remaining());
        if (got <= 0) {
            result = got < 0 ? -1 : 1;  // the frame's rest never came: deliver what did
            break;
        }
        frame.append(report);
    }
    if (frame.size() > total)
        frame.truncate(total);

    const int n = qMin(int(frame.size()), maxWanted);
    if (n > 0)
        memcpy(dest, frame.constData(), size_t(n));
    if (read)
        *read = n;
    return result;
}

}  // namespace kv350
