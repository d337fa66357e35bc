#pragma once
// A reader link wired to the virtual reader, in virtual time, with a recorder
// in place of the window: it words the link's states as the window does.
#include "hexbytes.h"
#include "pages/statusline.h"
#include "readerlinkrig.h"

#include <utility>
#include <vector>

namespace kv350::test {

struct Recorder : LinkObserver {
    std::vector<std::pair<QString, ColourValue>> statuses;
    std::vector<ModelView> models;
    std::vector<RequestFields> requests;
    std::vector<ResponseFields> responses;
    int messagesCleared = 0;

    void messageCleared() override { ++messagesCleared; }
    void requestShown(const RequestFields &f) override { requests.push_back(f); }
    void responseShown(const ResponseFields &f) override { responses.push_back(f); }
    void stateChanged(LinkState state, const ReaderIdentity &reader) override
    {
        const StatusLine line = statusLine(state, reader, englishText, shown);
        shown = line.text;
        statuses.emplace_back(line.text, line.colour);
        if (state == LinkState::Identified)
            models.push_back(applyModelRules(reader.modelName));
    }
    QString shown = QStringLiteral("Status");
};

// A pause that runs a test's action while "the window processes messages".
struct HookedPause : Pause {
    explicit HookedPause(VirtualTime &t) : time(t) {}
    void wait(int ms) override { time.wait(ms); }
    void processPending() override
    {
        time.processPending();
        if (onPending)
            onPending();
    }
    VirtualTime &time;
    std::function<void()> onPending;
};

struct Rig : VirtualReaderLink {
    explicit Rig(sim::Identity identity = {}) : VirtualReaderLink(std::move(identity)) { link.setObserver(&recorder); }
    ~Rig() { link.setObserver(nullptr); }  // the recorder goes first
    void useSerial() { link.useSerialPort(QStringLiteral("/dev/virtual-reader")); }
    QByteArray response() const
    {
        return QByteArray(reinterpret_cast<const char *>(link.ResponseBuffer().data()), link.ResponseLength());
    }

    Recorder recorder;
};

}  // namespace kv350::test
