#pragma once
#include <QByteArray>
#include <array>
#include <memory>

namespace kv350::sim {

// The radio technologies a reader can have cards of in its field at once: one
// card of each, since the reader talks to each technology on its own.
enum class Technology { Iso14443A, Iso15693, Uhf };

// A card or tag in the reader's field.
class Card {
public:
    virtual ~Card() = default;
    virtual QByteArray uid() const = 0;
    virtual Technology technology() const { return Technology::Iso14443A; }
};

// The cards in the reader's field. Tests (and kv350-sim) place and remove them;
// the reader's modules reach them through reach(), which counts the commands for
// removeAfter().
class Field {
public:
    // Replaces the card of the same technology, if any, and cancels a pending removeAfter().
    // A null card changes nothing.
    void place(std::shared_ptr<Card> card);
    // The field is empty again.
    void remove();
    // The ISO 14443A card; nullptr when there is none.
    std::shared_ptr<Card> card() const { return card(Technology::Iso14443A); }
    std::shared_ptr<Card> card(Technology technology) const;
    bool isEmpty() const;

    // The cards leave the field after this many more commands that reach one of
    // them (a card pulled away mid-run). 0 empties the field now, a negative
    // count cancels.
    void removeAfter(int commands);
    int commandsLeft() const { return m_commandsLeft; }  // -1: no removal pending

    // The card of this technology as one command of the reader reaches it. The
    // command still sees the card when it is the last one before removeAfter()
    // takes it away.
    std::shared_ptr<Card> reach(Technology technology = Technology::Iso14443A);
    // The first card present, ISO 14443A first: what Read Card ID (0x01) reports.
    std::shared_ptr<Card> reachAny();

private:
    std::shared_ptr<Card> counted(std::shared_ptr<Card> card);

    static constexpr int TechnologyCount = 3;
    std::array<std::shared_ptr<Card>, TechnologyCount> m_cards;
    int m_commandsLeft = -1;
};

}  // namespace kv350::sim
