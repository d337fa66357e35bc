#include "statusline.h"

namespace kv350 {

StatusLine statusLine(LinkState state, const ReaderIdentity &reader, const TextLookup &text, const QString &shown)
{
    const QString connected = text(QStringLiteral("Connected"));
    switch (state) {
    case LinkState::Connecting:
        return {shown, ColourGrey};
    case LinkState::Open:
        return {connected, ColourYellow};
    case LinkState::Identified:
        return {QStringLiteral("[%1] (%2) (SN:%3)")
                    .arg(connected, visibleText(reader.modelVersion), visibleText(reader.serialNumber)),
                ColourYellow};
    case LinkState::Disconnected:
        break;
    }
    return {text(QStringLiteral("Disconnected")), ColourRed};
}

}  // namespace kv350
