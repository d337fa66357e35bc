#include "uhfmodule.h"

#include "common/protocol.h"
#include "sim/core/hardware.h"
#include "sim/core/identity.h"

#include <QList>
#include <optional>

namespace kv350::sim {
namespace {

constexpr char Soh = 0x01;
constexpr char Cr = 0x0D;

bool isHex(const QByteArray &text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// A decimal number of at most four digits; nothing else.
std::optional<int> decimal(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 4)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<TagBank> bankOf(const QByteArray &digit)
{
    if (digit == "1")
        return TagBank::Epc;
    if (digit == "2")
        return TagBank::Tid;
    if (digit == "3")
        return TagBank::User;
    return std::nullopt;
}

// SOH, text, two hex digits of the XOR of SOH and the text, CR: the text, or
// nothing when the frame or its check is wrong.
std::optional<QByteArray> unwrap(const QByteArray &data)
{
    if (data.size() < 4 || data.back() != Cr)
        return std::nullopt;
    const QByteArray text = data.mid(1, data.size() - 4);
    std::uint8_t check = std::uint8_t(Soh);
    for (char c : text)
        check ^= std::uint8_t(c);
    const QByteArray digits = data.mid(data.size() - 3, 2);
    bool ok = false;
    if (!isHex(digits) || digits.toUInt(&ok, 16) != check || !ok)
        return std::nullopt;
    return text;
}

QByteArray refused(char letter, const char *reason, bool *ok)
{
    *ok = false;
    return QByteArray(1, letter) + ':' + reason + Cr;
}

QByteArray done(char letter, bool *ok)
{
    *ok = true;
    return QByteArray(1, letter) + ":OK" + Cr;
}

const char *reasonOf(TagError error)
{
    switch (error) {
    case TagError::Overrun:
        return "ADDR";
    case TagError::Locked:
        return "LOCKED";
    case TagError::None:
        break;
    }
    return "SYNTAX";
}

}  // namespace

bool UhfModule::tagsIn(const QByteArray &model)
{
    return hasUhfTags(findHardware(model));
}

bool UhfModule::radioTestIn(const QByteArray &model)
{
    return hasRadioTest(findHardware(model));
}

bool UhfModule::handles(std::uint8_t cmd) const
{
    return cmd == proto::CmdModule;
}

std::vector<QByteArray> UhfModule::handle(const Request &request, ReaderContext &context)
{
    const QByteArray &model = context.identity().model;
    if (!tagsIn(model) && !radioTestIn(model))
        return {makeReply(request.cmd, proto::StaRejected)};
    bool ok = false;
    QByteArray data;
    if (!request.data.isEmpty() && request.data.front() == Soh) {
        const std::optional<QByteArray> text = unwrap(request.data);
        data = text ? answer(*text, model, &ok) : refused('?', "CHECK", &ok);
    } else {
        QByteArray text = request.data;
        if (text.endsWith(Cr))
            text.chop(1);
        data = answer(text, model, &ok);
    }
    return {makeReply(request.cmd, ok ? proto::StaOk : proto::StaFailed, data)};
}

void UhfModule::removeTag(int index)
{
    if (index >= 0 && index < tagCount())
        m_field.erase(m_field.begin() + index);
}

QByteArray UhfModule::answer(const QByteArray &text, const QByteArray &model, bool *ok)
{
    if (m_texts.size() >= MaxLoggedTexts)
        m_texts.erase(m_texts.begin(), m_texts.begin() + MaxLoggedTexts / 2);
    m_texts.push_back(text);
    if (text.isEmpty())
        return refused('?', "SYNTAX", ok);
    const char letter = text.front();
    const QByteArray args = text.mid(1);
    // The tag texts and the radio's test texts belong to different modules: a
    // module refuses the other's texts as texts it does not know.
    const bool tagText = letter == 'R' || (letter == 'W' && args.contains(','));
    if (!(tagText ? tagsIn(model) : radioTestIn(model)))
        return refused(letter, "SYNTAX", ok);
    switch (letter) {
    case 'R':
        return tagRead(args, ok);
    case 'W':
        return args.contains(',') ? tagWrite(args, ok) : registerWrite(args, ok);
    case 'x':
        if (args == "01")
            m_radio.setMode(RadioMode::Transmit);
        else if (args == "02")
            m_radio.setMode(RadioMode::Receive);
        else
            return refused(letter, "SYNTAX", ok);
        return done(letter, ok);
    case 'Z':
        if (args == "x")
            m_radio.reboot();
        else if (args == "i")
            m_radio.initial();
        else
            return refused(letter, "SYNTAX", ok);
        return done(letter, ok);
    case 'A':
        if (args == "3")
            m_radio.startAutoTest();
        else if (args == "0")
            m_radio.stopAutoTest();
        else
            return refused(letter, "SYNTAX", ok);
        return done(letter, ok);
    default:
        return refused(letter, "SYNTAX", ok);
    }
}

QByteArray UhfModule::tagRead(const QByteArray &args, bool *ok)
{
    const QList<QByteArray> parts = args.split(',');
    if (parts.size() != 3)
        return refused('R', "SYNTAX", ok);
    const std::optional<TagBank> bank = bankOf(parts[0]);
    const std::optional<int> address = decimal(parts[1]);
    const std::optional<int> length = decimal(parts[2]);
    if (!address || !length)
        return refused('R', "SYNTAX", ok);
    if (!bank)
        return refused('R', "BANK", ok);
    if (*length < 1 || *length > MaxWords)
        return refused('R', "LEN", ok);
    if (m_field.empty())
        return refused('R', "NOTAG", ok);
    QByteArray words;
    const TagError error = m_field.front().read(*bank, *address, *length, &words);
    if (error != TagError::None)
        return refused('R', reasonOf(error), ok);
    *ok = true;
    return 'R' + words.toHex().toUpper();
}

QByteArray UhfModule::tagWrite(const QByteArray &args, bool *ok)
{
    const QList<QByteArray> parts = args.split(',');
    if (parts.size() != 4)
        return refused('W', "SYNTAX", ok);
    const std::optional<TagBank> bank = bankOf(parts[0]);
    const std::optional<int> address = decimal(parts[1]);
    const std::optional<int> length = decimal(parts[2]);
    if (!address || !length)
        return refused('W', "SYNTAX", ok);
    if (!bank)
        return refused('W', "BANK", ok);
    if (*length < 1 || *length > MaxWords || parts[3].size() != 4 * *length)
        return refused('W', "LEN", ok);
    if (!isHex(parts[3]))
        return refused('W', "DATA", ok);
    if (m_field.empty())
        return refused('W', "NOTAG", ok);
    const TagError error = m_field.front().write(*bank, *address, QByteArray::fromHex(parts[3]));
    if (error != TagError::None)
        return refused('W', reasonOf(error), ok);
    return done('W', ok);
}

QByteArray UhfModule::registerWrite(const QByteArray &args, bool *ok)
{
    // Register, byte count, then that many bytes, all as pairs of hex digits.
    if (args.size() < 6 || args.size() % 2 || !isHex(args))
        return refused('W', "SYNTAX", ok);
    const int first = args.left(2).toInt(nullptr, 16);
    const int count = args.mid(2, 2).toInt(nullptr, 16);
    if (count < 1 || args.size() != 4 + 2 * count)
        return refused('W', "LEN", ok);
    if (!m_radio.writeRegisters(first, QByteArray::fromHex(args.mid(4))))
        return refused('W', "ADDR", ok);
    return done('W', ok);
}

}  // namespace kv350::sim
