#include "keysfile.h"

#include "link/frame.h"

namespace kv350::cards {

KeysFile parseKeysFile(const QByteArray &content)
{
    KeysFile file;
    const QList<QByteArray> lines = content.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        const qsizetype hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        bool hex = line.size() == 12;
        for (char c : line)
            hex = hex && hexDigitValue(QLatin1Char(c)) >= 0;
        if (!hex) {
            file.error = {i + 1, -1, QStringLiteral("a key is 12 hex digits, not \"%1\""),
                          QString::fromLatin1(line.left(40))};
            file.keys.clear();
            return file;
        }
        const QByteArray key = QByteArray::fromHex(line);
        if (!file.keys.contains(key))
            file.keys.append(key);
    }
    return file;
}

QByteArray transportKey()
{
    return QByteArray(6, char(0xFF));
}

}  // namespace kv350::cards
