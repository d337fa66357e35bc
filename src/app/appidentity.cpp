#include "appidentity.h"

#include <QDir>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QMap>
#include <QPainter>
#include <QPixmap>

namespace kv350 {

namespace {

// The icon's PNGs (named after their size), read when a picture is asked for
// and not kept: the window system takes every size once, when a window
// shows, and the pictures (some 360 kB) need not stay in memory after.
class PngSizesIconEngine final : public QIconEngine {
public:
    explicit PngSizesIconEngine(QMap<int, QString> files) : m_files(std::move(files)) {}

    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        if (m_files.isEmpty() || size.isEmpty())
            return {};
        // The smallest picture that is large enough, else the largest.
        const int side = std::max(size.width(), size.height());
        auto file = m_files.lowerBound(side);
        if (file == m_files.end())
            --file;
        // As PNG and nothing else: a reader left to find the format asks
        // every image plugin (GIF, ICO, JPEG), which loads them all.
        QImageReader reader(file.value(), "PNG");
        reader.setAutoDetectImageFormat(false);
        QImage image = reader.read();
        if (image.isNull())
            return {};
        if (image.size() != size)
            image = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return QPixmap::fromImage(image);
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return m_files.isEmpty() ? QSize() : QSize(side, side);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int side : m_files.keys())
            sizes.append(QSize(side, side));
        return sizes;
    }
    bool isNull() override { return m_files.isEmpty(); }
    QString key() const override { return QStringLiteral("kv350-png-sizes"); }
    QIconEngine *clone() const override { return new PngSizesIconEngine(m_files); }

private:
    QMap<int, QString> m_files;  // by side
};

}  // namespace

QIcon appIcon()
{
    QMap<int, QString> files;
    const QDir sizes(QStringLiteral(":/kv350/icons"));
    for (const QFileInfo &png : sizes.entryInfoList(QDir::Files)) {
        const int side = png.completeBaseName().toInt();
        if (png.suffix() == QLatin1String("png") && side > 0)
            files.insert(side, png.filePath());
    }
    return QIcon(new PngSizesIconEngine(files));
}

QString appId()
{
    return QStringLiteral(KV350_APP_ID);
}

}  // namespace kv350
