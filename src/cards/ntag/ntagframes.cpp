#include "ntagframes.h"

#include "common/protocol.h"
#include "link/frame.h"

namespace kv350::cards {

QByteArray ntagReadFrame(int page)
{
    return buildRequest(proto::CmdNtagRead, QByteArray(2, '\0') + char(page));
}

QByteArray ntagWriteFrame(int page, const QByteArray &data16)
{
    return buildRequest(proto::CmdNtagWrite, QByteArray(2, '\0') + char(page) + data16);
}

QByteArray urlBlock(const QString &text)
{
    QByteArray block = text.left(16).toLatin1();
    for (char c : {'\r', '\n'})
        if (block.size() < 16)
            block.append(c);
    block.append(QByteArray(16 - block.size(), '\0'));
    return block;
}

QString dumpPrefix(int page)
{
    return QString::asprintf("%02d:", page);
}

}  // namespace kv350::cards
