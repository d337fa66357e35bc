#include "appidentity.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>

namespace kv350 {

QIcon appIcon()
{
    // Read as PNG and nothing else: a reader left to find the format asks
    // every image plugin (GIF, ICO, JPEG) whether it reads it, which loads
    // them all with their libraries. The window system takes every size when
    // the window shows, so they are read now.
    QIcon icon;
    const QDir sizes(QStringLiteral(":/kv350/icons"));
    for (const QFileInfo &png : sizes.entryInfoList(QDir::Files)) {
        if (png.suffix() != QLatin1String("png"))
            continue;
        QImageReader reader(png.filePath(), "PNG");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QString appId()
{
    return QStringLiteral(KV350_APP_ID);
}

}  // namespace kv350
