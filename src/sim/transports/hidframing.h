#pragma once
// Frames over USB HID: 64-byte reports, zero-padded; a frame longer than one
// report goes on in the following reports, the first report's LEN telling the
// receiver the total (LEN + 2).

#include <QByteArray>
#include <optional>
#include <vector>

namespace kv350::sim {

// Bytes cut into whole reports (the last one zero-padded). Empty bytes give no report.
std::vector<QByteArray> toReports(const QByteArray &bytes);

// The reader's side: output reports back into request frames.
class ReportAssembler {
public:
    // The frame once its last report is in. A report that would start a frame
    // but does not begin with STX is dropped.
    std::optional<QByteArray> push(const QByteArray &report);
    void reset();
    bool inFrame() const { return m_total > 0; }

private:
    QByteArray m_frame;
    int m_total = 0;
};

}  // namespace kv350::sim
