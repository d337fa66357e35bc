#pragma once
#include <QByteArray>
#include <vector>

namespace kv350::sim {

// What the reader says about itself. Raw bytes on purpose: tests give it model
// texts no real reader has (lower case, padded, empty) to see how the program
// copes. Only the kv350-sim command line insists on a known model.
struct Identity {
    QByteArray model = "KV350-MIC";
    QByteArray version = "V1.0";
    QByteArray serial = "12345678";
};

const std::vector<QByteArray> &knownModels();
bool isKnownModel(const QByteArray &model);

// Model text without the blanks and zero bytes a reply would pad it with.
QByteArray trimmedModel(const QByteArray &model);

}  // namespace kv350::sim
