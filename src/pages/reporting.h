#pragma once
// The three outcome reports every reader action ends with: a message in the
// message panel, a flash of colour, a tone, and the panel's colour restored.

#include "link/pause.h"
#include "pages/presentation.h"

namespace kv350 {

class MessagePanel {
public:
    virtual ~MessagePanel() = default;
    virtual void setMessage(const QString &text) = 0;
    virtual void setMessageColour(ColourValue colour) = 0;
};

// A tone that blocks for its duration (the real one keeps the window painting).
class Sounder {
public:
    virtual ~Sounder() = default;
    virtual void tone(int frequencyHz, int durationMs) = 0;
};

struct Outcome {
    const char *english;
    ColourValue colour;
    int frequencyHz;
    int durationMs;
    bool repaintAfterTone;  // the error report lets the window paint once more
};
inline constexpr Outcome OutcomeDone{"Command Done.", ColourYellow, 2730, 500, false};
inline constexpr Outcome OutcomeNoCardOrKey{"No Card or Key Error!", ColourYellow, 2730, 500, false};
inline constexpr Outcome OutcomeError{"Command Error!", ColourRed, 300, 500, true};

class Reporter {
public:
    Reporter(MessagePanel &panel, Pause &pause, Sounder &sounder, TextLookup text = englishText)
        : m_panel(panel), m_pause(pause), m_sounder(sounder), m_text(std::move(text))
    {
    }
    void setTextLookup(TextLookup text) { m_text = std::move(text); }

    void ShowCommandDone() { report(OutcomeDone); }
    void ShowNoCardOrKeyError() { report(OutcomeNoCardOrKey); }
    void ShowCommandError() { report(OutcomeError); }
    void report(const Outcome &outcome);
    // Text alone, already in the current language: no colour, no tone (step texts).
    void ShowText(const QString &text) { m_panel.setMessage(text); }

private:
    MessagePanel &m_panel;
    Pause &m_pause;
    Sounder &m_sounder;
    TextLookup m_text;
};

}  // namespace kv350
