// The hex texts users type: the Command page's frame text and its rebuilt
// request, the module wrapper and the converter, the card pages' hex boxes
// (parseHexBytes, ParseHexField) and kv350ctl's raw words.
//
// Input: a byte choosing how the rest becomes text (Latin-1, UTF-8 or UTF-16),
// a byte count n for the hex boxes, then the text.
// Properties: each parser against a plain statement of its rule; frame text,
// hex and converter texts read back to the bytes they came from; a hex box
// that does not convert goes back to its default text with all bytes FF; the
// module wrapper's frame carries the text and a check that holds.
#include "cli/options.h"
#include "console/requesttext.h"
#include "fuzztarget.h"
#include "link/frame.h"
#include "pages/pagewidgets.h"

#include <QLineEdit>
#include <QStringList>
#include <algorithm>

using namespace kv350;
using namespace kv350::fuzz;

namespace {

int hexDigitOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QString textFrom(std::uint8_t how, const QByteArray &bytes)
{
    switch (how % 3) {
    case 0:
        return QString::fromLatin1(bytes);
    case 1:
        return QString::fromUtf8(bytes);
    default:
        return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
    }
}

void checkFrameText(const QString &text, const QByteArray &raw)
{
    bool allHex = true;
    const QByteArray parsed = parseFrameText(text, &allHex);
    // A byte for every pair at 0-1, 3-4, 6-7, ...; a trailing single character does not count.
    const qsizetype pairs = text.size() < 2 ? 0 : (text.size() - 2) / 3 + 1;
    KV350_FUZZ_CHECK(parsed.size() == pairs, "one byte per three characters");
    bool expectAllHex = true;
    for (qsizetype i = 0; i < pairs; ++i) {
        const int hi = hexDigitOf(text[3 * i]), lo = hexDigitOf(text[3 * i + 1]);
        const bool hex = hi >= 0 && lo >= 0;
        expectAllHex = expectAllHex && hex;
        KV350_FUZZ_CHECK(quint8(parsed[i]) == (hex ? hi * 16 + lo : 0), "byte " + std::to_string(i));
    }
    KV350_FUZZ_CHECK(allHex == expectAllHex, "allHex");
    KV350_FUZZ_CHECK(parseFrameText(frameText(raw)) == raw, "frame text round trip");
    KV350_FUZZ_CHECK(frameText(raw).size() == 3 * raw.size(), "three characters per byte");

    const console::RebuiltRequest rebuilt = console::RebuildRequestText(QStringLiteral("02"), QStringLiteral("0D"),
                                                                        text);
    const std::uint8_t len = std::uint8_t(parsed.size() + 1);
    KV350_FUZZ_CHECK(rebuilt.len == BytesToHex(&len, 1), "LEN of the rebuilt request");
    KV350_FUZZ_CHECK(parseFrameText(rebuilt.whole) == QByteArray::fromHex("02") + char(len) + char(0x0D) + parsed,
                     "the rebuilt request reads back");

    // The converter: one byte a character, or nothing when one has no such byte.
    bool oneByte = true;
    QByteArray codes;
    for (QChar c : text) {
        oneByte = oneByte && c.unicode() <= 0xFF;
        codes.append(char(c.unicode()));
    }
    const std::optional<QString> converted = console::asciiToHexText(text);
    KV350_FUZZ_CHECK(converted.has_value() == oneByte, "converter refuses exactly what has no one-byte code");
    if (converted)
        KV350_FUZZ_CHECK(parseFrameText(*converted) == codes, "converter");
}

void checkModuleWrapper(const QString &text)
{
    const QString sent = text.left(console::MaxAsciiRequest);
    const std::optional<QString> wrapped = console::asciiRequestData(text);
    const bool oneByte = std::all_of(sent.begin(), sent.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    KV350_FUZZ_CHECK(wrapped.has_value() == oneByte, "the wrapper refuses exactly what has no one-byte code");
    if (!wrapped)
        return;
    const QByteArray data = parseFrameText(*wrapped);
    KV350_FUZZ_CHECK(data.size() == sent.size() + 4, "SOH, text, two check digits, CR");
    KV350_FUZZ_CHECK(data.front() == '\x01' && data.back() == '\x0D', "SOH ... CR");
    std::uint8_t check = 0x01;
    for (qsizetype i = 0; i < sent.size(); ++i) {
        const char expected = char(sent[i].unicode());
        KV350_FUZZ_CHECK(data[1 + i] == expected, "text character " + std::to_string(i));
        check ^= std::uint8_t(expected);
    }
    KV350_FUZZ_CHECK(data.mid(data.size() - 3, 2) == QByteArray::number(check, 16).rightJustified(2, '0').toUpper(),
                     "check digits");
}

void checkHexBoxes(const QString &text, int n, const QByteArray &raw)
{
    // Two characters to a byte from the start, a last single digit as one byte;
    // nothing when a character is not hex or the text runs out first.
    std::optional<QByteArray> expected = QByteArray();
    for (int i = 0; i < n && expected; ++i) {
        const qsizetype at = 2 * i;
        if (at >= text.size()) {
            expected.reset();
            break;
        }
        const int hi = hexDigitOf(text[at]);
        const int lo = at + 1 < text.size() ? hexDigitOf(text[at + 1]) : 0;  // "F" at the end is 0F
        if (hi < 0 || lo < 0) {
            expected.reset();
            break;
        }
        expected->append(char(at + 1 < text.size() ? hi * 16 + lo : hi));
    }
    const std::optional<QByteArray> parsed = cards::parseHexBytes(text, n);
    KV350_FUZZ_CHECK(parsed == expected, "parseHexBytes");
    KV350_FUZZ_CHECK(cards::parseHexBytes(BytesToHex(raw), int(raw.size())) == raw, "hex round trip");

    QLineEdit box;
    box.setMaxLength(32767);
    box.setText(text);
    const QString before = box.text();  // what the box keeps of the text
    const std::optional<QByteArray> inBox = cards::parseHexBytes(before, n);
    const QString defaultText = QStringLiteral("FFFFFFFF");
    const HexField field = ParseHexField(&box, n, defaultText);
    KV350_FUZZ_CHECK(field.ok == inBox.has_value(), "ParseHexField ok");
    if (field.ok) {
        KV350_FUZZ_CHECK(field.bytes == *inBox && box.text() == before, "a good box stays");
    } else {
        KV350_FUZZ_CHECK(field.bytes == QByteArray(n, char(0xFF)), "all FF");
        KV350_FUZZ_CHECK(box.text() == defaultText, "back to the default text");
    }
}

void checkRawWords(const QString &text)
{
    const QStringList words = text.split(QLatin1Char('\n'));
    QByteArray expected;
    bool valid = true;
    for (QString w : words) {
        w.remove(QLatin1Char(' '));
        if (w.isEmpty() || w.size() % 2)
            valid = false;
        for (qsizetype i = 0; valid && i < w.size(); i += 2) {
            const int hi = hexDigitOf(w[i]), lo = hexDigitOf(w[i + 1]);
            valid = hi >= 0 && lo >= 0;
            expected.append(char(hi * 16 + lo));
        }
    }
    const std::optional<QByteArray> parsed = cli::parseHexWords(words);
    if (valid && !expected.isEmpty())
        KV350_FUZZ_CHECK(parsed && *parsed == expected, "kv350ctl raw words");
    else
        KV350_FUZZ_CHECK(!parsed, "kv350ctl took words that are not hex");
}

}  // namespace

KV350_FUZZ_TARGET(hextext)(const std::uint8_t *data, std::size_t size)
{
    ensureQtApplication();
    ByteReader in(data, size);
    const std::uint8_t how = in.u8();
    const int n = in.u8() % 40 + 1;
    const QByteArray raw = in.rest().left(4096);
    const QString text = textFrom(how, raw);

    checkFrameText(text, raw);
    checkModuleWrapper(text);
    checkHexBoxes(text, n, raw);
    checkRawWords(text);
    return 0;
}
