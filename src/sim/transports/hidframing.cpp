#include "hidframing.h"

#include "common/protocol.h"
#include "sim/core/simframe.h"

namespace kv350::sim {

std::vector<QByteArray> toReports(const QByteArray &bytes)
{
    std::vector<QByteArray> reports;
    for (qsizetype offset = 0; offset < bytes.size(); offset += proto::HidReportSize) {
        QByteArray report = bytes.mid(offset, proto::HidReportSize);
        report.append(QByteArray(proto::HidReportSize - report.size(), '\0'));
        reports.push_back(report);
    }
    return reports;
}

std::optional<QByteArray> ReportAssembler::push(const QByteArray &report)
{
    if (m_total == 0) {
        if (report.size() < 2 || byteAt(report, proto::OffStx) != proto::Stx)
            return std::nullopt;
        m_total = byteAt(report, proto::OffLen) + 2;
        m_frame.clear();
    }
    m_frame.append(report.left(m_total - m_frame.size()));
    if (m_frame.size() < m_total)
        return std::nullopt;
    QByteArray frame = m_frame;
    reset();
    return frame;
}

void ReportAssembler::reset()
{
    m_frame.clear();
    m_total = 0;
}

}  // namespace kv350::sim
