#pragma once
// The session log: one line for every transaction on the reader link and for
// each connection, identification, firmware step and key change, whoever
// caused it (a page's button, the show sequence, a kv350ctl command). No
// widgets: the window shows the lines and keeps them in a file, kv350ctl
// appends them to a file; both feed it the same way. Keys in frames and in
// key changes are masked unless "Log key values" is on for the session.
//
// A line: time | reader | origin | what happened
//   2026-12-09 14:03:07.412 | 12345678 KV350-MIC | MIFARE: Read Card Data | TX 02 0A 15 60 ** ** ** ** ** ** 01 00 | RX
//   ... | done

#include "link/readerlink.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace kv350 {

class SessionLog final : public LinkObserver {
public:
    using Now = std::function<QDateTime()>;
    using Sink = std::function<void(const QString &line)>;
    // How many lines the log keeps for its window; a file keeps them all.
    static constexpr int KeptLines = 20000;

    // `program` names what writes the log in its header ("kv350tools 0.1").
    explicit SessionLog(QString program, Now now = {});
    ~SessionLog() override;
    SessionLog(const SessionLog &) = delete;
    SessionLog &operator=(const SessionLog &) = delete;

    // Hears the link from now on (as its log observer) and names its transport.
    void attach(ReaderLink &link);
    void detach();

    // What sends from now on: "MIFARE: Read Card Data", "kv350ctl mifare read".
    void setOrigin(const QString &origin) { m_origin = origin; }
    const QString &origin() const { return m_origin; }

    // Off at every start. Turning it on or off is a line of the log; while it
    // is on, header() says so at the top.
    void setLogKeyValues(bool on);
    bool logKeyValues() const { return m_logKeys; }

    // A line of its own: a firmware step, a file written, ...
    void note(const QString &text);

    // What goes at the top of a saved log: the program, the start, and
    // whether key values are logged.
    QStringList header() const;
    // The lines since the start or the last clear(), oldest first.
    const QStringList &lines() const { return m_lines; }
    // Forgets the kept lines (the window's Clear); sinks keep what they have.
    void clear() { m_lines.clear(); }
    // Each new line, as it is made.
    void addSink(Sink sink) { m_sinks.push_back(std::move(sink)); }

    // The frame as the log shows it: "%02X" per byte, a blank between, key
    // bytes as "**" unless key values are logged. `request` is given with a
    // reply, whose key bytes depend on what was asked.
    QString frameText(const QByteArray &frame, const QByteArray &request = {}, bool reply = false) const;

    // LinkObserver
    void stateChanged(LinkState state, const ReaderIdentity &reader) override;
    void transactionEnded(const TransactionRecord &record) override;
    void closed() override;

private:
    void add(const QString &what);
    QString readerText() const;
    QString keyText(const QByteArray &key) const;
    void noteKeyChange(const TransactionRecord &record);

    QString m_program;
    Now m_now;
    QDateTime m_started;
    ReaderLink *m_link = nullptr;
    ReaderIdentity m_reader;
    QString m_origin;
    bool m_logKeys = false;
    QStringList m_lines;
    std::vector<Sink> m_sinks;
};

// The outcome of one transaction in words: "done", "status 01: not done",
// or why no reply was accepted.
QString transactionOutcome(const TransactionRecord &record);

}  // namespace kv350
