#include "appidentity.h"

#include <QDir>
#include <QFileInfo>
#include <QSize>

namespace kv350 {

QIcon appIcon()
{
    // Each PNG is named after its size: giving the size spares reading the
    // files at start-up; the icon loads the one a window asks for.
    QIcon icon;
    const QDir sizes(QStringLiteral(":/kv350/icons"));
    for (const QFileInfo &png : sizes.entryInfoList({QStringLiteral("*.png")}, QDir::Files)) {
        const int side = png.completeBaseName().toInt();
        if (side > 0)
            icon.addFile(png.filePath(), QSize(side, side));
    }
    return icon;
}

QString appId()
{
    return QStringLiteral(KV350_APP_ID);
}

}  // namespace kv350
