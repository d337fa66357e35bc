#pragma once
#include <QByteArray>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace kv350::sim {

struct ParameterDef {
    std::uint8_t code;
    int width;
    const char *factoryHex;  // for every model without a row in the model table
};

// What a reader stores when asked to store `requested` while holding `current`.
// Returning an empty array refuses the write (STA 0x01, value unchanged); a value
// of another width is cut or zero-padded to the parameter's width.
using AcceptFilter = std::function<QByteArray(const QByteArray &requested, const QByteArray &current)>;

// The reader's settings (command 0x03). They survive a reboot; factory default
// (0x0F 02) puts them back to the model's factory values.
class ParameterStore {
public:
    static const std::vector<ParameterDef> &table();
    static const ParameterDef *find(std::uint8_t code);
    // Empty for an unknown code.
    static QByteArray factoryValue(std::uint8_t code, const QByteArray &model);

    explicit ParameterStore(const QByteArray &model = "KV350-MIC");

    void restoreFactory(const QByteArray &model);
    bool contains(std::uint8_t code) const { return find(code) != nullptr; }
    int width(std::uint8_t code) const;  // -1 for an unknown code
    QByteArray value(std::uint8_t code) const;
    // Stores what the reader accepts of `requested` (must be the parameter's width);
    // false when the code is unknown, the width is wrong or the filter refuses.
    bool write(std::uint8_t code, const QByteArray &requested);
    // Makes the reader hold a value without asking the filter (a test's setup).
    void set(std::uint8_t code, const QByteArray &value);

    // Filters are the reader's quirks, not settings: factory default keeps them.
    void setAcceptFilter(std::uint8_t code, AcceptFilter filter);
    void clearAcceptFilters() { m_filters.clear(); }

    // Another quirk: replies carry only the first `bytes` value bytes of the
    // parameter (a reader that answers the keyboard layout as 02 04 03 00 07 01,
    // without the 00 it stores behind the layout). < 0: the whole value again.
    void setReplyWidth(std::uint8_t code, int bytes);
    // What a reply carries of the value.
    QByteArray replyValue(std::uint8_t code) const;

private:
    std::map<std::uint8_t, QByteArray> m_values;
    std::map<std::uint8_t, AcceptFilter> m_filters;
    std::map<std::uint8_t, int> m_replyWidths;
};

}  // namespace kv350::sim
