#pragma once
// The NTAG203's bytes that can only ever gain bits: the static lock bytes
// (page 2, bytes 2-3), the one-time-programmable capability container (page 3)
// and the dynamic lock bytes (page 40, bytes 0-1). The tag ORs what is written
// into them, so a write changes them for good exactly when it sets a bit that
// is still clear. Free functions without widgets, for the NTAG page and the
// command line.

#include "i18n/textlookup.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace kv350::cards {

inline constexpr int StaticLockPage = 2;
inline constexpr int CapabilityPage = 3;
inline constexpr int DynamicLockPage = 40;

// The pages of those three that a 16-byte write from `firstPage` covers.
std::vector<int> oneTimePages(int firstPage);
// The page to read (four pages from it) to learn what `page` holds now.
int readPageFor(int oneTimePage);

struct PermanentChange {
    int page = 0;
    QByteArray before;             // the bytes that count, as the tag holds them now
    QByteArray after;              // and as it will hold them
    std::vector<int> lockedPages;  // pages that lock bits newly set make read-only for good
};
// What a write of `data16` from `firstPage` changes for good; `current(page)`
// gives the four bytes a page holds now. Empty: nothing, the write may go out.
std::vector<PermanentChange> permanentChanges(int firstPage, const QByteArray &data16,
                                              const std::function<QByteArray(int page)> &current);
// The same, learning what the tag holds through `read16(page)`: the 16 bytes
// from that page, or nothing when the read failed. Nothing when a read failed:
// not knowing what the tag holds, nothing may be written over it.
using TagRead = std::function<std::optional<QByteArray>(int page)>;
std::optional<std::vector<PermanentChange>> permanentChangesOnTag(int firstPage, const QByteArray &data16,
                                                                  const TagRead &read16);
// The question before such a write, a line for each change, in the language of `text`.
QString permanentQuestion(const std::vector<PermanentChange> &changes, const TextLookup &text);

}  // namespace kv350::cards
