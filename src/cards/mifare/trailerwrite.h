#pragma once
// The trailer guard as the MIFARE pages apply it before a block goes out.

#include "pages/pagecontext.h"

#include <QByteArray>

class QLabel;

namespace kv350::cards {

// True: the write may be sent (not a trailer, a trailer that makes nothing
// permanent, or the user said Yes). False: nothing may be sent, and the page
// has said why: an invalid trailer is "Command Error!" with the reason shown
// in `problem`; a No leaves the panel saying that nothing was sent.
bool trailerWriteAllowed(PageContext &context, int sector, int block, const QByteArray &data16, QLabel *problem);

}  // namespace kv350::cards
