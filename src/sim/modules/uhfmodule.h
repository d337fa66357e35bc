#pragma once
#include "sim/cards/epctag.h"
#include "sim/core/readermodule.h"
#include "sim/modules/ovtraradio.h"

#include <vector>

namespace kv350::sim {

// The UHF module of the KV350-U1, KV350-MIC-X and KV350-LF-X: command 0x00
// carries an ASCII text to it, and its answer comes back as DATA. Readers of
// other models have no such module and refuse 0x00 (STA 0x10).
//
// Texts (a trailing CR is optional; SOH, text, two hex check digits and CR,
// as the Command page wraps a text, is taken too):
//   R<bank>,<addr>,<len>          read len words          -> R and 4*len hex digits
//   W<bank>,<addr>,<len>,<data>   write 4*len hex digits  -> W:OK CR
//   W<reg><count><bytes>          radio registers (hex)   -> W:OK CR
//   x01 / x02                     transmit / receive mode -> x:OK CR
//   Zx / Zi                       module reboot / defaults -> Z:OK CR
//   A3 / A0                       automatic test start / stop -> A:OK CR
// Banks are 1 EPC, 2 TID, 3 USER; addresses and lengths are decimal words.
// A refused text gets STA 0x01 and its letter, a colon, a reason (SYNTAX,
// CHECK, BANK, ADDR, LEN, DATA, LOCKED, NOTAG) and CR.
//
// Tag commands go to the first tag in the field (the one that wins the air
// protocol's singulation); with no tag there, the answer is NOTAG.
class UhfModule final : public ReaderModule {
public:
    static constexpr int MaxWords = 32;
    static constexpr std::size_t MaxLoggedTexts = 1024;

    // The model's UHF module reads and writes tags (KV350-U1).
    static bool tagsIn(const QByteArray &model);
    // The model's radio module has the test modes (KV350-MIC-X, KV350-LF-X).
    static bool radioTestIn(const QByteArray &model);

    bool handles(std::uint8_t cmd) const override;
    std::vector<QByteArray> handle(const Request &request, ReaderContext &context) override;
    FrameStream *stream() override { return &m_radio; }

    // The tags in the module's field.
    void placeTag(const EpcTag &tag) { m_field.push_back(tag); }
    void removeTag(int index);
    void clearField() { m_field.clear(); }
    int tagCount() const { return int(m_field.size()); }
    EpcTag &tag(int index) { return m_field.at(std::size_t(index)); }

    OvtraRadio &radio() { return m_radio; }
    // The reader restarts and takes the module with it: idle, test stopped.
    void powerCycle() { m_radio.setMode(RadioMode::Idle); }

    // Every text the module was given, unwrapped, the CR removed.
    const std::vector<QByteArray> &texts() const { return m_texts; }
    void clearTexts() { m_texts.clear(); }

private:
    QByteArray answer(const QByteArray &text, const QByteArray &model, bool *ok);
    QByteArray tagRead(const QByteArray &args, bool *ok);
    QByteArray tagWrite(const QByteArray &args, bool *ok);
    QByteArray registerWrite(const QByteArray &args, bool *ok);

    std::vector<EpcTag> m_field;
    OvtraRadio m_radio;
    std::vector<QByteArray> m_texts;
};

}  // namespace kv350::sim
