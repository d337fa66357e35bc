#include "reporting.h"

namespace kv350 {

void Reporter::report(const Outcome &outcome)
{
    m_panel.setMessage(m_text(QString::fromLatin1(outcome.english)));
    m_panel.setMessageColour(outcome.colour);
    m_pause.processPending();  // text and colour are on screen before the tone
    m_sounder.tone(outcome.frequencyHz, outcome.durationMs);
    if (outcome.repaintAfterTone)
        m_pause.processPending();
    m_panel.setMessageColour(ColourButtonFace);
}

}  // namespace kv350
