#pragma once
#include "sim/cards/mifareaccess.h"

#include <QByteArray>
#include <array>

namespace kv350::sim {

// The MIFARE keys the reader holds in its own memory (command 0x12), one key A
// and one key B per sector. They belong to the reader, not to a card.
class MifareKeyStore {
public:
    static constexpr int Sectors = 40;
    static constexpr int KeySize = 6;

    // False, and nothing stored, for a sector out of range or a key not of 6 bytes.
    bool store(int sector, KeyType type, const QByteArray &key)
    {
        if (sector < 0 || sector >= Sectors || key.size() != KeySize)
            return false;
        m_keys[std::size_t(sector)][std::size_t(type)] = key;
        return true;
    }
    // Empty when none is stored.
    QByteArray key(int sector, KeyType type) const
    {
        if (sector < 0 || sector >= Sectors)
            return {};
        return m_keys[std::size_t(sector)][std::size_t(type)];
    }
    void clear() { m_keys = {}; }

private:
    std::array<std::array<QByteArray, 2>, Sectors> m_keys{};
};

}  // namespace kv350::sim
