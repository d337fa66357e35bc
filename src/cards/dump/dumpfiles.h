#pragma once
// What the MIFARE and NFC pages share of dumps: the card commands of a long
// run over the page's context, and saving an image in a format the user
// picks in the save-file dialog.

#include "cards/dump/cardexchange.h"
#include "cards/dump/cardimage.h"
#include "cards/dump/dumpformats.h"
#include "pages/pagecontext.h"

namespace kv350::cards {

// runStep: the command with its one retry, its outcome and DATA.
CardExchange pageExchange(PageContext &context);

// The save-file dialog's filter for this kind of card, one entry per format.
QString dumpFilter(CardKind kind);
// The format of a chosen file: by its extension, else mct (bin for a tag).
DumpFormat chosenFormat(const QString &path, CardKind kind);

// Asks where, writes the file whole (or leaves an old one as it was) and says
// so in the message panel; a format that cannot hold the image says why.
void saveDump(PageContext &context, const CardImage &image);

}  // namespace kv350::cards
