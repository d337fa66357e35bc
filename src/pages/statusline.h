#pragma once
// The status panel's line for a state of the link: words in the current
// language and a colour. The link reports states and the reader's identity;
// this is where they become what the window shows.

#include "link/readerlink.h"
#include "pages/presentation.h"

namespace kv350 {

struct StatusLine {
    QString text;
    ColourValue colour;
};

// While connecting the panel keeps the text it shows (`shown`) and turns grey;
// an open link says "Connected", an identified reader
// "[Connected] (model and version) (SN:serial)", both on yellow; no reader
// "Disconnected" on red.
StatusLine statusLine(LinkState state, const ReaderIdentity &reader, const TextLookup &text, const QString &shown);

}  // namespace kv350
