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

QString dumpPrefix(int page)
{
    return QString::asprintf("%02d:", page);
}

}  // namespace kv350::cards
