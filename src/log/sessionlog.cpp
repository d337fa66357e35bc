#include "sessionlog.h"

#include "cards/mifare/mifareframes.h"
#include "link/frame.h"

namespace kv350 {
namespace {

constexpr int StoreKeySectorOffset = 10;  // 02 09 12 type K0-K5 sector
const QString Separator = QStringLiteral(" | ");

QString keyTypeName(std::uint8_t type)
{
    return type == cards::KeyB ? QStringLiteral("key B") : QStringLiteral("key A");
}

std::uint8_t statusOf(const QByteArray &reply)
{
    return reply.size() > proto::OffSta ? std::uint8_t(reply[proto::OffSta]) : 0xFF;
}

}  // namespace

QString transactionOutcome(const TransactionRecord &record)
{
    if (!record.accepted)
        return (record.sent ? QString() : QStringLiteral("not sent: ")) + linkErrorText(record.error);
    const std::uint8_t status = statusOf(record.reply);
    if (status == proto::StaOk)
        return QStringLiteral("done");
    return QStringLiteral("status %1: not done").arg(BytesToHex(&status, 1));
}

SessionLog::SessionLog(QString program, Now now) : m_program(std::move(program)), m_now(std::move(now))
{
    if (!m_now)
        m_now = [] { return QDateTime::currentDateTime(); };
    m_started = m_now();
}

SessionLog::~SessionLog()
{
    detach();
}

void SessionLog::attach(ReaderLink &link)
{
    detach();
    m_link = &link;
    m_reader = link.identity();
    link.setLogObserver(this);
}

void SessionLog::detach()
{
    if (m_link)
        m_link->setLogObserver(nullptr);
    m_link = nullptr;
}

void SessionLog::setLogKeyValues(bool on)
{
    if (on == m_logKeys)
        return;
    m_logKeys = on;
    add(on ? QStringLiteral("Log key values: on; keys from here on are written in clear")
           : QStringLiteral("Log key values: off; keys from here on are masked"));
}

void SessionLog::note(const QString &text)
{
    add(visibleText(text));
}

QStringList SessionLog::header() const
{
    QStringList top{QStringLiteral("# KV350 session log, %1, started %2")
                        .arg(m_program, m_started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz t")))};
    top.append(QStringLiteral("# time | reader (serial model) | origin | what happened"));
    if (m_logKeys)
        top.append(QStringLiteral("# Log key values is on: the keys in this log are in clear. Keep it safe."));
    return top;
}

QString SessionLog::frameText(const QByteArray &frame, const QByteArray &request, bool reply) const
{
    std::vector<bool> masked(size_t(frame.size()), false);
    if (!m_logKeys) {
        const std::vector<cards::KeySpan> spans = reply ? cards::replyKeySpans(request, frame)
                                                        : cards::requestKeySpans(frame);
        for (const cards::KeySpan &s : spans)
            for (int i = s.first; i < s.first + cards::KeySize && i < frame.size(); ++i)
                masked[size_t(i)] = true;
    }
    QStringList bytes;
    for (int i = 0; i < frame.size(); ++i)
        bytes.append(masked[size_t(i)] ? QStringLiteral("**")
                                       : BytesToHex(reinterpret_cast<const std::uint8_t *>(frame.constData()) + i, 1));
    return bytes.join(QLatin1Char(' '));
}

void SessionLog::stateChanged(LinkState state, const ReaderIdentity &reader)
{
    m_reader = reader;
    const QString where = m_link ? m_link->transportText() : QString();
    switch (state) {
    case LinkState::Connecting:
        add(QStringLiteral("connecting to %1").arg(where));
        break;
    case LinkState::Open:
        add(QStringLiteral("%1 open; identifying the reader").arg(where));
        break;
    case LinkState::Identified:
        add(QStringLiteral("identified: serial %1, model %2, version %3")
                .arg(visibleText(reader.serialNumber), visibleText(reader.modelName),
                     visibleText(reader.modelVersion.mid(proto::ModelNameWidth))));
        break;
    case LinkState::Disconnected: {
        const QString why = m_link ? m_link->lastError() : QString();
        add(why.isEmpty() ? QStringLiteral("disconnected") : QStringLiteral("disconnected: %1").arg(visibleText(why)));
        break;
    }
    }
}

void SessionLog::closed()
{
    add(QStringLiteral("closed %1").arg(m_link ? m_link->transportText() : QStringLiteral("the link")));
}

void SessionLog::transactionEnded(const TransactionRecord &record)
{
    if (m_link)
        m_reader = m_link->identity();
    QString what = QStringLiteral("TX ") + frameText(record.request);
    if (record.sent)
        what += Separator + QStringLiteral("RX ") +
                (record.reply.isEmpty() ? QStringLiteral("-") : frameText(record.reply, record.request, true));
    add(what + Separator + visibleText(transactionOutcome(record)));
    noteKeyChange(record);
}

void SessionLog::noteKeyChange(const TransactionRecord &record)
{
    if (!record.accepted || statusOf(record.reply) != proto::StaOk)
        return;
    const QByteArray &r = record.request;
    if (const std::optional<cards::BlockWrite> w = cards::parseBlockWrite(r)) {
        if (w->block != cards::trailerBlock(w->sector))
            return;
        add(QStringLiteral("keys written to the card: sector %1, key A %2, access bits %3, key B %4 (with %5)")
                .arg(w->sector)
                .arg(keyText(w->data.left(cards::KeySize)), BytesToHex(w->data.mid(6, 4)),
                     keyText(w->data.mid(10, cards::KeySize)), keyTypeName(w->keyType)));
        return;
    }
    if (!cards::requestKeySpans(r).empty() && std::uint8_t(r[proto::OffCmd]) == proto::CmdStoreKey)
        add(QStringLiteral("key stored in the reader: sector %1, %2 %3")
                .arg(std::uint8_t(r[StoreKeySectorOffset]))
                .arg(keyTypeName(std::uint8_t(r[proto::OffReqData])), keyText(r.mid(proto::OffReqData + 1, 6))));
}

QString SessionLog::keyText(const QByteArray &key) const
{
    return m_logKeys ? BytesToHex(key) : QStringLiteral("************");
}

QString SessionLog::readerText() const
{
    if (m_reader.serialNumber.isEmpty() && m_reader.modelName.isEmpty())
        return QStringLiteral("-");
    return visibleText(QStringList{m_reader.serialNumber, m_reader.modelName}.join(QLatin1Char(' ')).trimmed());
}

void SessionLog::add(const QString &what)
{
    const QString line = QStringList{m_now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), readerText(),
                                     m_origin.isEmpty() ? QStringLiteral("-") : visibleText(m_origin), what}
                             .join(Separator);
    m_lines.append(line);
    if (m_lines.size() > KeptLines)
        m_lines.removeFirst();
    for (const Sink &sink : m_sinks)
        sink(line);
}

}  // namespace kv350
