#include "field.h"

namespace kv350::sim {

void Field::place(std::shared_ptr<Card> card)
{
    if (!card)
        return;
    m_cards[std::size_t(card->technology())] = std::move(card);
    m_commandsLeft = -1;
}

void Field::remove()
{
    for (auto &card : m_cards)
        card.reset();
    m_commandsLeft = -1;
}

std::shared_ptr<Card> Field::card(Technology technology) const
{
    return m_cards[std::size_t(technology)];
}

bool Field::isEmpty() const
{
    for (const auto &card : m_cards)
        if (card)
            return false;
    return true;
}

void Field::removeAfter(int commands)
{
    if (commands == 0)
        remove();
    else
        m_commandsLeft = commands < 0 ? -1 : commands;
}

std::shared_ptr<Card> Field::reach(Technology technology)
{
    return counted(card(technology));
}

std::shared_ptr<Card> Field::reachAny()
{
    for (const auto &card : m_cards)
        if (card)
            return counted(card);
    return nullptr;
}

std::shared_ptr<Card> Field::counted(std::shared_ptr<Card> card)
{
    if (card && m_commandsLeft > 0 && --m_commandsLeft == 0)
        remove();
    return card;
}

}  // namespace kv350::sim
