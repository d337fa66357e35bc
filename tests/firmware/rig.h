#pragma once
// What the firmware tests share: firmware files in a temporary folder, and
// program images that carry the identity record the virtual reader reports.

#include "firmware/kfwfile.h"
#include "hexbytes.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <ostream>

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '[' << bytes.toHex(' ').toUpper().constData() << ']';
}

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// A program image: its identity record (model and version, blank-padded as
// the reader's 0x0E reply carries them), then size - 16 bytes of "code".
inline QByteArray programImage(const QByteArray &model, const QByteArray &version, int size = 1000)
{
    QByteArray image = model.leftJustified(12, ' ', true) + version.leftJustified(4, ' ', true);
    for (int i = 0; image.size() < size; ++i)
        image.append(char(i * 7 + 3));
    return image.left(size);
}

class FileFolder {
public:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }
    // A KFW file of a program image for this model and version.
    QString firmware(const QByteArray &model, const QByteArray &version = "V2.0", int size = 1000)
    {
        return write(QString::fromLatin1(model + "-" + version + ".KFW"),
                     kv350::firmware::packKfwFile(model, version, programImage(model, version, size)));
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};
