#include "parameters.h"

#include "frame.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace kv350 {
namespace {

std::uint8_t bit(bool set, int n)
{
    return set ? std::uint8_t(1u << n) : std::uint8_t(0);
}

bool has(std::uint8_t flags, int n)
{
    return (flags >> n) & 1u;
}

const FlagName ReadModeFlags[] = {
    {0x01, "auto"},      {0x02, "beep"}, {0x04, "led"},           {0x08, "same-card"},
    {0x10, "stx-ascii"}, {0x20, "etag"}, {0x80, "energy-saving"},
};
const FlagName MicTypeFlags[] = {{0x01, "iso15693"}, {0x02, "iso14443a"}, {0x04, "iso14443b"}};
const FlagName LfTypeFlags[] = {{0x01, "em"},    {0x02, "vanto"}, {0x04, "security"},
                                {0x08, "fdx-b"}, {0x10, "titan"}, {0x20, "hid"}};
const FlagName IdFormatOptions[] = {{0x02, "reverse-byte"}, {0x04, "reverse-bit"}, {0x10, "dec-zero-remove"}};
const FlagName IdFormatKeys[] = {{0x01, "comma"}, {0x02, "brackets"}, {0x04, "quotation"}, {0x08, "space"},
                                 {0x10, "tab"},   {0x20, "down"},     {0x40, "lf"},        {0x80, "enter"}};

constexpr int DefaultLimit = 64;

// In the order of the codes.
const ParameterInfo ParameterRows[] = {
    {proto::ParUsbMode, "usbMode", 1, DefaultLimit, false, 0, {}, 0},
    {proto::ParReadMode, "readMode", 1, DefaultLimit, false, 0, ReadModeFlags, 0},
    {proto::ParIdFormat, "idFormat", 3, DefaultLimit, false, 0, {}, 0},
    {proto::ParScanTime, "scanTime", 1, DefaultLimit, false, 10, {}, 0},
    {proto::ParSameCardTime, "sameCardTime", 1, DefaultLimit, false, 100, {}, 0},
    {proto::ParKeypadDelay, "keypadDelay", 1, DefaultLimit, false, 1, {}, 0},
    {proto::ParKeyboardLayout, "keyboardLayout", 2, DefaultLimit, false, 0, {}, 0},
    {proto::ParMifareIdLocation, "idLocation", 7, DefaultLimit, false, 0, {}, CapMifareNtag},
    {proto::ParIso15693IdBlock, "iso15693IdLocation", 3, DefaultLimit, false, 0, {}, CapIso15693},
    {proto::ParMicCardType, "micCardTypes", 1, DefaultLimit, false, 0, MicTypeFlags, CapIso15693},
    {proto::ParLfCardType, "lfCardTypes", 1, DefaultLimit, false, 0, LfTypeFlags, CapLf},
    // The EPC page takes exactly 02 06 03 00 41 bank address length.
    {proto::ParAutoEpc, "autoEpc", 3, 8, true, 0, {}, CapUhfTags},
};

std::uint8_t byteAt(const QByteArray &bytes, int i)
{
    return i < bytes.size() ? std::uint8_t(bytes.at(i)) : 0;
}

const char *const EpcBankNames[] = {"epc", "tid", "user"};

// ---- to JSON

QJsonArray flagList(std::span<const FlagName> names, std::uint8_t bits)
{
    QJsonArray list;
    for (const FlagName &f : names)
        if (bits & f.bit)
            list.append(QLatin1String(f.name));
    return list;
}

QJsonValue choice(const QStringList &names, int index)
{
    return index >= 0 && index < names.size() ? QJsonValue(names.at(index)) : QJsonValue(index);
}

struct ToJson {
    const ParameterInfo &info;
    QJsonValue operator()(const UsbMode &v) const { return v.mode; }
    QJsonValue operator()(const ReadMode &v) const { return flagList(info.flags, encodeReadMode(v)); }
    QJsonValue operator()(const IdFormat &v) const
    {
        const QByteArray b = encodeIdFormat(v);
        return QJsonObject{
            {"format", v.formatIndex >= 0 ? QJsonValue(formatItemNames().value(v.formatIndex)) : QJsonValue()},
            {"options", flagList(IdFormatOptions, byteAt(b, 1))},
            {"keys", flagList(IdFormatKeys, byteAt(b, 2))}};
    }
    QJsonValue operator()(const Interval &v) const { return v.steps * info.stepMs; }
    QJsonValue operator()(const KeyboardLayout &v) const
    {
        return v.index >= 0 && v.index < layoutNames().size() ? QJsonValue(layoutNames().at(v.index)) : QJsonValue();
    }
    QJsonValue operator()(const IdLocation &v) const
    {
        return QJsonObject{{"card", v.ntag ? "ntag" : "mifare-classic"},
                           {"sector", v.sector},
                           {"block", v.block},
                           {"start", v.start},
                           {"byte", v.byte},
                           {"key", v.keyA ? "A" : "B"},
                           {"keyError", choice(keyErrorNames(), v.keyError)}};
    }
    QJsonValue operator()(const IsoIdLocation &v) const
    {
        return QJsonObject{{"block", v.block}, {"start", v.start}, {"byte", v.byte}};
    }
    QJsonValue operator()(const CardTypes &v) const { return flagList(info.flags, v.bits); }
    QJsonValue operator()(const AutoEpcSetting &v) const
    {
        return QJsonObject{
            {"bank", QLatin1String(EpcBankNames[int(v.bank)])}, {"address", v.address}, {"length", v.words}};
    }
};

// ---- from JSON: each reader gives the value or says what is wrong with it.

class JsonReader {
public:
    JsonReader(const ParameterInfo &info, QString *why) : m_name(QLatin1String(info.name)), m_why(why) {}

    bool failed() const { return m_failed; }

    std::optional<int> number(const QJsonValue &v, const QString &what, int min, int max, int step = 1)
    {
        // The range is checked on the double: a number beyond int (1e20) must
        // not be converted to see whether it fits.
        const double d = v.toDouble();
        const bool whole = v.isDouble() && d >= min && d <= max && d == std::floor(d);
        const int n = whole ? int(d) : 0;
        if (!whole || n % step != 0) {
            QString allowed = QStringLiteral("a whole number from %1 to %2").arg(min).arg(max);
            if (step > 1)
                allowed += QStringLiteral(" in steps of %1").arg(step);
            return complain(what, v, allowed);
        }
        return n;
    }

    std::optional<int> oneOf(const QJsonValue &v, const QString &what, const QStringList &names)
    {
        const int index = v.isString() ? int(names.indexOf(v.toString())) : -1;
        if (index < 0)
            return complain(what, v, QStringLiteral("one of ") + names.join(QStringLiteral(", ")));
        return index;
    }

    std::optional<std::uint8_t> flags(const QJsonValue &v, const QString &what, std::span<const FlagName> names)
    {
        QStringList all;
        for (const FlagName &f : names)
            all.append(QLatin1String(f.name));
        const QString allowed = QStringLiteral("a list of names from ") + all.join(QStringLiteral(", "));
        if (!v.isArray())
            return complain(what, v, allowed);
        std::uint8_t bits = 0;
        for (const QJsonValue &item : v.toArray()) {
            const int index = item.isString() ? int(all.indexOf(item.toString())) : -1;
            if (index < 0)
                return complain(what, item, allowed);
            bits |= names[size_t(index)].bit;
        }
        return bits;
    }

    // An object with these keys and no others.
    std::optional<QJsonObject> object(const QJsonValue &v, const QStringList &keys, const QStringList &required)
    {
        const QString allowed = QStringLiteral("an object with ") + keys.join(QStringLiteral(", "));
        if (!v.isObject())
            return complain({}, v, allowed);
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!keys.contains(it.key())) {
                fail(QStringLiteral("%1: unknown field \"%2\"; the fields are %3")
                         .arg(m_name, it.key(), keys.join(QStringLiteral(", "))));
                return std::nullopt;
            }
        for (const QString &key : required)
            if (!o.contains(key)) {
                fail(QStringLiteral("%1: the field \"%2\" is missing").arg(m_name, key));
                return std::nullopt;
            }
        return o;
    }

private:
    std::nullopt_t complain(const QString &what, const QJsonValue &v, const QString &allowed)
    {
        const QString where = what.isEmpty() ? m_name : m_name + QLatin1Char('.') + what;
        fail(QStringLiteral("%1: %2 is not allowed; it takes %3").arg(where, shown(v), allowed));
        return std::nullopt;
    }
    void fail(const QString &text)
    {
        if (!m_failed && m_why)
            *m_why = text;
        m_failed = true;
    }
    static QString shown(const QJsonValue &v)
    {
        switch (v.type()) {
        case QJsonValue::String:
            return QLatin1Char('"') + v.toString() + QLatin1Char('"');
        case QJsonValue::Double:
            return QString::number(v.toDouble());
        case QJsonValue::Bool:
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QJsonValue::Null:
            return QStringLiteral("null");
        case QJsonValue::Array:
            return QStringLiteral("a list");
        case QJsonValue::Object:
            return QStringLiteral("an object");
        case QJsonValue::Undefined:
            break;
        }
        return QStringLiteral("nothing");
    }

    QString m_name;
    QString *m_why;
    bool m_failed = false;
};

std::optional<ParameterValue> idFormatFromJson(JsonReader &r, const QJsonValue &json)
{
    const auto o = r.object(json, {"format", "options", "keys"}, {"format"});
    if (!o)
        return std::nullopt;
    const auto item = r.oneOf(o->value("format"), "format", formatItemNames());
    const auto options = r.flags(o->value("options").isUndefined() ? QJsonArray() : o->value("options"), "options",
                                 IdFormatOptions);
    const auto keys = r.flags(o->value("keys").isUndefined() ? QJsonArray() : o->value("keys"), "keys", IdFormatKeys);
    if (r.failed())
        return std::nullopt;
    IdFormat f = decodeIdFormat(std::uint8_t(*item + 1), *options, *keys);
    return f;
}

std::optional<ParameterValue> idLocationFromJson(JsonReader &r, const QJsonValue &json)
{
    const QStringList fields{"card", "sector", "block", "start", "byte", "key", "keyError"};
    const auto o = r.object(json, fields, fields);
    if (!o)
        return std::nullopt;
    IdLocation l;
    const auto card = r.oneOf(o->value("card"), "card", {"mifare-classic", "ntag"});
    const auto sector = r.number(o->value("sector"), "sector", 0, 39);
    // A block of the sector: four in sectors 0-31, sixteen in 32-39.
    const auto block = r.number(o->value("block"), "block", 0, sector && *sector >= 32 ? 15 : 3);
    const auto start = r.number(o->value("start"), "start", 0, 11);
    const auto byte = r.number(o->value("byte"), "byte", 0, 16);
    const auto key = r.oneOf(o->value("key"), "key", {"A", "B"});
    const auto keyError = r.oneOf(o->value("keyError"), "keyError", keyErrorNames());
    if (r.failed())
        return std::nullopt;
    l.ntag = *card == 1;
    l.sector = *sector;
    l.block = *block;
    l.start = *start;
    l.byte = *byte;
    l.keyA = *key == 0;
    l.keyError = *keyError;
    return l;
}

std::optional<ParameterValue> isoIdLocationFromJson(JsonReader &r, const QJsonValue &json)
{
    const QStringList fields{"block", "start", "byte"};
    const auto o = r.object(json, fields, fields);
    if (!o)
        return std::nullopt;
    const auto block = r.number(o->value("block"), "block", 0, 63);
    const auto start = r.number(o->value("start"), "start", 0, 3);
    const auto byte = r.number(o->value("byte"), "byte", 0, 8);
    if (r.failed())
        return std::nullopt;
    return IsoIdLocation{*block, *start, *byte};
}

std::optional<ParameterValue> autoEpcFromJson(JsonReader &r, const QJsonValue &json)
{
    const QStringList fields{"bank", "address", "length"};
    const auto o = r.object(json, fields, fields);
    if (!o)
        return std::nullopt;
    const auto bank = r.oneOf(o->value("bank"), "bank", {"epc", "tid", "user"});
    const auto address = r.number(o->value("address"), "address", 0, 255);
    const auto words = r.number(o->value("length"), "length", 1, 32);
    if (r.failed())
        return std::nullopt;
    return AutoEpcSetting{EpcBank(*bank), *address, *words};
}

}  // namespace

std::span<const ParameterInfo> parameters()
{
    return ParameterRows;
}

const ParameterInfo *findParameter(std::uint8_t code)
{
    for (const ParameterInfo &p : ParameterRows)
        if (p.code == code)
            return &p;
    return nullptr;
}

const ParameterInfo *findParameter(const QString &name)
{
    for (const ParameterInfo &p : ParameterRows)
        if (name == QLatin1String(p.name))
            return &p;
    return nullptr;
}

bool modelHasParameter(const ModelInfo *model, const ParameterInfo &info)
{
    return info.capability == 0 || (model && (model->capabilities & info.capability) != 0);
}

const ParameterInfo &parameterInfo(std::uint8_t code)
{
    const ParameterInfo *p = findParameter(code);
    Q_ASSERT(p);
    return p ? *p : ParameterRows[0];
}

const QStringList &formatItemNames()
{
    static const QStringList names{"14H",       "4H->5D",   "6H",       "6H->8D",   "8H",          "8H->10D",
                                   "10H",       "10H->13D", "16H",      "8H->4D",   "ASCII/FDX-B", "32H",
                                   "8H->5D+5D", "12H->15D", "14H->17D", "16H->20D", "24H"};
    return names;
}

const QStringList &layoutNames()
{
    static const QStringList names{"ENGLISH", "CZECH", "FRENCH"};
    return names;
}

const QStringList &keyErrorNames()
{
    static const QStringList names{"None", "LED", "BEEP", "BEEP+LED"};
    return names;
}

QByteArray encodeIdFormat(const IdFormat &f)
{
    const int items = int(formatItemNames().size());
    const std::uint8_t code = f.formatIndex >= 0 && f.formatIndex < items ? f.formatIndex + 1 : 0;
    const std::uint8_t options = 0x01 | bit(f.reverseByte, 1) | bit(f.reverseBit, 2) | bit(f.decZeroRemove, 4);
    const std::uint8_t keys = bit(f.addComma, 0) | bit(f.addBrackets, 1) | bit(f.addQuotation, 2) | bit(f.addSpace, 3) |
                              bit(f.addTab, 4) | bit(f.addDown, 5) | bit(f.addLF, 6) | bit(f.addEnter, 7);
    const char bytes[] = {char(code), char(options), char(keys)};
    return QByteArray(bytes, sizeof bytes);
}

IdFormat decodeIdFormat(std::uint8_t code, std::uint8_t options, std::uint8_t keys)
{
    IdFormat f;
    f.formatIndex = code >= 1 && code <= formatItemNames().size() ? code - 1 : -1;
    f.reverseByte = has(options, 1);
    f.reverseBit = has(options, 2);
    f.decZeroRemove = has(options, 4);
    f.addComma = has(keys, 0);
    f.addBrackets = has(keys, 1);
    f.addQuotation = has(keys, 2);
    f.addSpace = has(keys, 3);
    f.addTab = has(keys, 4);
    f.addDown = has(keys, 5);
    f.addLF = has(keys, 6);
    f.addEnter = has(keys, 7);
    return f;
}

std::uint8_t encodeReadMode(const ReadMode &m)
{
    return bit(m.autoRead, 0) | bit(m.beep, 1) | bit(m.led, 2) | bit(m.sameCard, 3) | bit(m.stxAscii, 4) |
           bit(m.eTag, 5) | bit(m.energySaving, 7);
}

ReadMode decodeReadMode(std::uint8_t flags)
{
    ReadMode m;
    m.autoRead = has(flags, 0);
    m.beep = has(flags, 1);
    m.led = has(flags, 2);
    m.sameCard = has(flags, 3);
    m.stxAscii = has(flags, 4);
    m.eTag = has(flags, 5);
    m.energySaving = has(flags, 7);
    return m;
}

QByteArray encodeParameter(const ParameterInfo &info, const ParameterValue &value)
{
    const auto one = [](int v) { return QByteArray(1, char(v & 0xFF)); };
    switch (info.code) {
    case proto::ParUsbMode:
        return one(std::get<UsbMode>(value).mode);
    case proto::ParReadMode:
        return one(encodeReadMode(std::get<ReadMode>(value)));
    case proto::ParIdFormat:
        return encodeIdFormat(std::get<IdFormat>(value));
    case proto::ParScanTime:
    case proto::ParSameCardTime:
    case proto::ParKeypadDelay:
        return one(std::get<Interval>(value).steps);
    case proto::ParKeyboardLayout: {
        // The layout travels with a 00 behind it; no layout chosen is FF.
        const int index = std::get<KeyboardLayout>(value).index;
        return one(index >= 0 ? index : 0xFF) + '\0';
    }
    case proto::ParMifareIdLocation: {
        const IdLocation &l = std::get<IdLocation>(value);
        const char bytes[] = {char(l.sector),
                              char(l.block),
                              char(l.start),
                              char(l.byte),
                              char(l.keyA ? 0x60 : 0x61),
                              char(l.keyError < 0 ? 0 : l.keyError),
                              char(l.ntag ? 1 : 0)};
        return QByteArray(bytes, sizeof bytes);
    }
    case proto::ParIso15693IdBlock: {
        const IsoIdLocation &l = std::get<IsoIdLocation>(value);
        const char bytes[] = {char(l.block), char(l.start), char(l.byte)};
        return QByteArray(bytes, sizeof bytes);
    }
    case proto::ParMicCardType:
    case proto::ParLfCardType:
        return one(std::get<CardTypes>(value).bits);
    case proto::ParAutoEpc: {
        const AutoEpcSetting &s = std::get<AutoEpcSetting>(value);
        return one(int(s.bank)) + one(s.address) + one(s.words);
    }
    default:
        return {};
    }
}

ParameterValue decodeParameter(const ParameterInfo &info, const QByteArray &bytes)
{
    const auto b = [&bytes](int i) { return byteAt(bytes, i); };
    switch (info.code) {
    case proto::ParUsbMode:
        return UsbMode{b(0)};
    case proto::ParReadMode:
        return decodeReadMode(b(0));
    case proto::ParIdFormat:
        return decodeIdFormat(b(0), b(1), b(2));
    case proto::ParScanTime:
    case proto::ParSameCardTime:
    case proto::ParKeypadDelay:
        return Interval{b(0)};
    case proto::ParKeyboardLayout:
        return KeyboardLayout{b(0) < layoutNames().size() ? b(0) : -1};
    case proto::ParMifareIdLocation:
        return IdLocation{b(0), b(1), b(2), b(3), b(4) == 0x60, b(5), b(6) != 0};
    case proto::ParIso15693IdBlock:
        return IsoIdLocation{b(0), b(1), b(2)};
    case proto::ParMicCardType:
    case proto::ParLfCardType:
        return CardTypes{b(0)};
    case proto::ParAutoEpc:
        // A bank other than 1 or 2 reads as EPC.
        return AutoEpcSetting{b(0) == 1 ? EpcBank::Tid : b(0) == 2 ? EpcBank::User : EpcBank::Epc, b(1), b(2)};
    default:
        return UsbMode{b(0)};
    }
}

QJsonValue parameterToJson(const ParameterInfo &info, const ParameterValue &value)
{
    return std::visit(ToJson{info}, value);
}

std::optional<ParameterValue> parameterFromJson(const ParameterInfo &info, const QJsonValue &json, QString *why)
{
    JsonReader r(info, why);
    std::optional<ParameterValue> value;
    switch (info.code) {
    case proto::ParUsbMode:
        if (const auto n = r.number(json, {}, 1, 3))
            value = UsbMode{*n};
        break;
    case proto::ParReadMode:
        if (const auto bits = r.flags(json, {}, info.flags))
            value = decodeReadMode(*bits);
        break;
    case proto::ParIdFormat:
        value = idFormatFromJson(r, json);
        break;
    case proto::ParScanTime:
    case proto::ParSameCardTime:
    case proto::ParKeypadDelay:
        if (const auto ms = r.number(json, {}, 0, 255 * info.stepMs, info.stepMs))
            value = Interval{*ms / info.stepMs};
        break;
    case proto::ParKeyboardLayout:
        if (const auto index = r.oneOf(json, {}, layoutNames()))
            value = KeyboardLayout{*index};
        break;
    case proto::ParMifareIdLocation:
        value = idLocationFromJson(r, json);
        break;
    case proto::ParIso15693IdBlock:
        value = isoIdLocationFromJson(r, json);
        break;
    case proto::ParMicCardType:
    case proto::ParLfCardType:
        if (const auto bits = r.flags(json, {}, info.flags))
            value = CardTypes{*bits};
        break;
    case proto::ParAutoEpc:
        value = autoEpcFromJson(r, json);
        break;
    default:
        break;
    }
    return r.failed() ? std::nullopt : value;
}

QByteArray parameterGetFrame(std::uint8_t code)
{
    return buildRequest(proto::CmdParameter, QByteArray(1, char(code)));
}

QByteArray parameterSetFrame(std::uint8_t code, const QByteArray &value)
{
    return buildRequest(proto::CmdParameter, QByteArray(1, char(code)) + value);
}

QString jsonText(const QJsonValue &value)
{
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
}

int parameterReplyWidth(const ParameterInfo &info)
{
    return info.code == proto::ParKeyboardLayout ? 1 : info.width;
}

std::optional<QByteArray> parameterReplyValue(const QByteArray &replyData, int width)
{
    if (width < 0 || replyData.size() < 1 + width)
        return std::nullopt;
    return replyData.mid(1, width);
}

}  // namespace kv350
