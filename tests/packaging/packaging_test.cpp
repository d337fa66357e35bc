// What the install puts on a system besides the programs: the udev rule, the
// desktop entry, the metainfo and the icon, checked against the code they
// describe and, where the tools are installed, by the desktop's own validators.
#include "app/appidentity.h"
#include "common/protocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMultiMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <tuple>

using namespace kv350;

namespace {

QString sourceFile(const QString &path)
{
    return QStringLiteral(KV350_SOURCE_DIR "/") + path;
}
QString builtFile(const QString &path)
{
    return QStringLiteral(KV350_PACKAGING_BINARY_DIR "/") + path;
}
QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}
QString hex4(std::uint16_t id, bool upper)
{
    const QString text = QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
    return upper ? text.toUpper() : text;
}

struct ToolRun {
    int status = -1;
    QString output;  // stdout and stderr
};
ToolRun run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(20000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAll())};
}

// One udev rule: its KEY op "value" pairs, in order.
using UdevRule = QList<std::tuple<QString, QString, QString>>;

QList<UdevRule> readUdevRules(const QString &text)
{
    static const QRegularExpression pair(
        QStringLiteral("([A-Z_]+(?:\\{[^}]*\\})?)\\s*(==|!=|\\+=|-=|:=|=)\\s*\"([^\"]*)\""));
    QList<UdevRule> rules;
    QString line;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        line += raw.trimmed();
        if (line.endsWith(QLatin1Char('\\'))) {
            line.chop(1);
            continue;
        }
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            UdevRule rule;
            for (const QRegularExpressionMatch &m : pair.globalMatch(line))
                rule.append({m.captured(1), m.captured(2), m.captured(3)});
            rules.append(rule);
        }
        line.clear();
    }
    return rules;
}

bool has(const UdevRule &rule, const QString &key, const QString &op, const QString &value)
{
    return rule.contains(std::make_tuple(key, op, value));
}

const QString RuleFile = QStringLiteral("packaging/udev/70-kv350tools.rules");

TEST(UdevRule, GivesTheUserAtTheSeatTheReadersHidrawNode)
{
    const QList<UdevRule> rules = readUdevRules(readText(sourceFile(RuleFile)));
    ASSERT_FALSE(rules.isEmpty());
    const QString vid = hex4(proto::DefaultVid, false), pid = hex4(proto::DefaultPid, false);
    int hidraw = 0, modemManager = 0;
    for (const UdevRule &rule : rules) {
        if (has(rule, "SUBSYSTEM", "==", "hidraw") && has(rule, "ATTRS{idVendor}", "==", vid) &&
            has(rule, "ATTRS{idProduct}", "==", pid) && has(rule, "TAG", "+=", "uaccess"))
            ++hidraw;
        if (has(rule, "SUBSYSTEM", "==", "usb") && has(rule, "ENV{DEVTYPE}", "==", "usb_device") &&
            has(rule, "ATTR{idVendor}", "==", vid) && has(rule, "ATTR{idProduct}", "==", pid) &&
            has(rule, "ENV{ID_MM_DEVICE_IGNORE}", "=", "1"))
            ++modemManager;
        for (const auto &[key, op, value] : rule) {
            // sysfs spells the ids in lower case, and udev compares them as text.
            if (key.endsWith(QLatin1String("{idVendor}"))) {
                EXPECT_EQ(value, vid) << "a rule names another vendor id than the program's default";
            }
            if (key.endsWith(QLatin1String("{idProduct}"))) {
                EXPECT_EQ(value, pid) << "a rule names another product id than the program's default";
            }
            EXPECT_NE(key, "MODE") << "access comes from the seat (uaccess), not from a mode for everyone";
        }
    }
    EXPECT_EQ(hidraw, 1) << "one rule tags the reader's hidraw node with uaccess";
    EXPECT_EQ(modemManager, 1) << "one rule tells ModemManager to leave the reader alone";
}

TEST(UdevRule, SortsBeforeTheRulesThatActOnItsSettings)
{
    // logind applies "uaccess" in 73-seat-late.rules; ModemManager reads its
    // ignore flag from 77-mm-*.rules on. A rule read later changes nothing.
    const QString name = QFileInfo(RuleFile).fileName();
    const int number = name.section(QLatin1Char('-'), 0, 0).toInt();
    EXPECT_GT(number, 0) << name.toStdString();
    EXPECT_LT(number, 73) << name.toStdString();
}

TEST(UdevRule, MaintainerScriptsReloadItForTheReadersIds)
{
    for (const char *script : {"packaging/debian/postinst", "packaging/debian/postrm"}) {
        const QString text = readText(sourceFile(QLatin1String(script)));
        ASSERT_FALSE(text.isEmpty()) << script;
        EXPECT_TRUE(text.contains(QStringLiteral("udevadm control --reload-rules"))) << script;
        EXPECT_TRUE(text.contains(QStringLiteral("idVendor=") + hex4(proto::DefaultVid, false))) << script;
        EXPECT_TRUE(text.contains(QStringLiteral("idProduct=") + hex4(proto::DefaultPid, false))) << script;
        // Guarded: no udev daemon (a container, a chroot) is no failure.
        EXPECT_TRUE(text.contains(QStringLiteral("[ -S /run/udev/control ]"))) << script;
        const ToolRun syntax = run(QStringLiteral("/bin/sh"),
                                   {QStringLiteral("-n"), sourceFile(QLatin1String(script))});
        EXPECT_EQ(syntax.status, 0) << script << ": " << syntax.output.toStdString();
    }
}

// The desktop entry as installed, read as the desktop reads it.
QSettings *desktopEntry()
{
    static QSettings entry(builtFile(appId() + QStringLiteral(".desktop")), QSettings::IniFormat);
    return &entry;
}

TEST(DesktopEntry, StartsTheWindowWithTheIconOfItsId)
{
    ASSERT_TRUE(QFile::exists(builtFile(appId() + QStringLiteral(".desktop"))));
    QSettings &entry = *desktopEntry();
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    EXPECT_EQ(entry.value("Exec").toString(), "kv350tools");
    EXPECT_EQ(entry.value("Icon").toString(), appId());
    EXPECT_EQ(entry.value("Type").toString(), "Application");
    for (const char *key : {"Name", "Comment", "GenericName"})
        for (const char *lang : {"", "[zh_CN]", "[zh_TW]"})
            EXPECT_FALSE(entry.value(QLatin1String(key) + QLatin1String(lang)).toString().isEmpty()) << key << lang;
}

TEST(DesktopEntry, PassesTheDesktopValidator)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    const ToolRun r = run(validator, {builtFile(appId() + QStringLiteral(".desktop"))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.toStdString(), "");
}

// Text and attributes of the metainfo's elements: "id", "provides/modalias", ...
QMultiMap<QString, QString> metainfo()
{
    QFile file(builtFile(appId() + QStringLiteral(".metainfo.xml")));
    QMultiMap<QString, QString> found;
    if (!file.open(QIODevice::ReadOnly))
        return found;
    QXmlStreamReader xml(&file);
    QStringList path, texts;
    QList<bool> translated;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            path << xml.name().toString();
            texts << QString();
            translated << xml.attributes().hasAttribute(QStringLiteral("xml:lang"));
            const QString where = path.mid(1).join(QLatin1Char('/'));
            for (const QXmlStreamAttribute &a : xml.attributes())
                found.insert(where + QLatin1Char('@') + a.qualifiedName().toString(), a.value().toString());
        } else if (xml.isCharacters() && !texts.isEmpty()) {
            texts.last() += xml.text();
        } else if (xml.isEndElement()) {
            if (path.size() > 1 && !translated.last())
                found.insert(path.mid(1).join(QLatin1Char('/')), texts.last().simplified());
            path.removeLast();
            texts.removeLast();
            translated.removeLast();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return found;
}

TEST(Metainfo, NamesTheDesktopEntryTheProgramsAndTheReader)
{
    const QMultiMap<QString, QString> m = metainfo();
    ASSERT_FALSE(m.isEmpty());
    EXPECT_EQ(m.value("id"), appId());
    EXPECT_EQ(m.value("launchable"), appId() + QStringLiteral(".desktop"));
    EXPECT_EQ(m.values("provides/binary").size(), 3);
    for (const char *program : {"kv350tools", "kv350ctl", "kv350-sim"})
        EXPECT_TRUE(m.values("provides/binary").contains(QLatin1String(program))) << program;
    // Software centres offer the program when a device of these ids is plugged in.
    EXPECT_EQ(m.value("provides/modalias"),
              QStringLiteral("usb:v%1p%2d*").arg(hex4(proto::DefaultVid, true), hex4(proto::DefaultPid, true)));
    EXPECT_EQ(m.value("releases/release@version"), KV350_PROJECT_VERSION);
    EXPECT_EQ(m.value("releases/release@date"), KV350_RELEASE_DATE);
}

TEST(Metainfo, PassesAppStreamValidation)
{
    const QString appstreamcli = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (appstreamcli.isEmpty())
        GTEST_SKIP() << "appstreamcli (appstream) is not installed";
    const ToolRun r = run(appstreamcli,
                          {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--no-color"),
                           builtFile(appId() + QStringLiteral(".metainfo.xml"))});
    EXPECT_EQ(r.status, 0) << r.output.toStdString();
    EXPECT_FALSE(r.output.contains(QRegularExpression(QStringLiteral("^[EW]: "), QRegularExpression::MultilineOption)))
        << r.output.toStdString();
}

// The PNG sizes that packaging/icons/render.sh renders.
QList<int> iconSizes()
{
    static const QRegularExpression line(QStringLiteral("^sizes=\"([0-9 ]+)\"$"), QRegularExpression::MultilineOption);
    QList<int> sizes;
    for (const QString &size :
         line.match(readText(sourceFile(QStringLiteral("packaging/icons/render.sh")))).captured(1).split(' '))
        if (size.toInt() > 0)
            sizes << size.toInt();
    return sizes;
}

TEST(Icon, EverySizeIsRenderedAndNamedAfterItsSize)
{
    const QList<int> sizes = iconSizes();
    ASSERT_FALSE(sizes.isEmpty());
    for (int must : {16, 32, 48, 256})
        EXPECT_TRUE(sizes.contains(must)) << must << " px: desktops look for it";
    const QStringList pngs = QDir(sourceFile(QStringLiteral("packaging/icons/png"))).entryList({"*.png"}, QDir::Files);
    EXPECT_EQ(pngs.size(), sizes.size()) << "PNGs and render.sh's sizes differ: run packaging/icons/render.sh";
    for (int size : sizes) {
        const QImage png(sourceFile(QStringLiteral("packaging/icons/png/%1.png").arg(size)));
        EXPECT_EQ(png.size(), QSize(size, size)) << size;
        EXPECT_TRUE(png.hasAlphaChannel()) << size;
    }
}

// Mean difference per colour channel, 0 to 255, of two images of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (x.size() != y.size())
        return 255;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row), *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (x.width() * x.height() * 4.0);
}

TEST(Icon, PngsAreRenderedFromTheSvgAsItIsNow)
{
    const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
    if (rsvg.isEmpty())
        GTEST_SKIP() << "rsvg-convert (librsvg2-bin) is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (int size : iconSizes()) {
        const QString fresh = dir.filePath(QStringLiteral("%1.png").arg(size));
        const ToolRun r = run(rsvg, {QStringLiteral("--width"), QString::number(size), QStringLiteral("--height"),
                                     QString::number(size), QStringLiteral("--output"), fresh,
                                     sourceFile(QStringLiteral("packaging/icons/kv350tools.svg"))});
        ASSERT_EQ(r.status, 0) << r.output.toStdString();
        // Another librsvg may smooth edges a little differently; a changed
        // drawing differs by far more.
        EXPECT_LT(
            meanDifference(QImage(fresh), QImage(sourceFile(QStringLiteral("packaging/icons/png/%1.png").arg(size)))),
            1.0)
            << size << " px is not the SVG's rendering: run packaging/icons/render.sh";
    }
}

TEST(Icon, TheWindowHasEverySize)
{
    const QIcon icon = appIcon();
    for (int size : iconSizes()) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        const QImage drawn = icon.pixmap(QSize(size, size)).toImage();
        EXPECT_EQ(drawn.size(), QSize(size, size)) << size;
        EXPECT_LT(meanDifference(drawn, QImage(sourceFile(QStringLiteral("packaging/icons/png/%1.png").arg(size)))),
                  0.01)
            << size;
    }
}

}  // namespace
