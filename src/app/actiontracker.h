#pragma once
// Whether the window is in the middle of something. The event loop runs only
// inside the program's own waits (Pause) and while a question is on screen
// (Dialogs), so whatever the event loop delivers there arrives in the middle of
// an action: a reader plugged in then is connected only once the action is over.

#include "link/pause.h"
#include "pages/services.h"

namespace kv350 {

class ActionTracker final : public Pause, public Dialogs {
public:
    ActionTracker(Pause &pause, Dialogs &dialogs) : m_pause(pause), m_dialogs(dialogs) {}

    // Some handler is waiting or asking further down the stack.
    bool inAction() const { return m_depth > 0; }

    void wait(int ms) override
    {
        const Depth in(m_depth);
        m_pause.wait(ms);
    }
    void processPending() override
    {
        const Depth in(m_depth);
        m_pause.processPending();
    }
    void processInput() override
    {
        const Depth in(m_depth);
        m_pause.processInput();
    }
    void message(const QString &caption, const QString &text) override
    {
        const Depth in(m_depth);
        m_dialogs.message(caption, text);
    }
    bool confirm(const Confirmation &question) override
    {
        const Depth in(m_depth);
        return m_dialogs.confirm(question);
    }
    QString openFile(const QString &caption, const QString &filter) override
    {
        const Depth in(m_depth);
        return m_dialogs.openFile(caption, filter);
    }
    QString saveFile(const QString &caption, const QString &filter) override
    {
        const Depth in(m_depth);
        return m_dialogs.saveFile(caption, filter);
    }
    // The real boxes draw tables of their own: passed on as they are.
    bool confirmTable(const Confirmation &question, const TextTable &table) override
    {
        const Depth in(m_depth);
        return m_dialogs.confirmTable(question, table);
    }
    void showTable(const QString &caption, const QString &text, const TextTable &table) override
    {
        const Depth in(m_depth);
        m_dialogs.showTable(caption, text, table);
    }

private:
    struct Depth {
        explicit Depth(int &depth) : m_depth(depth) { ++m_depth; }
        ~Depth() { --m_depth; }
        Depth(const Depth &) = delete;
        Depth &operator=(const Depth &) = delete;
        int &m_depth;
    };

    Pause &m_pause;
    Dialogs &m_dialogs;
    int m_depth = 0;
};

}  // namespace kv350
