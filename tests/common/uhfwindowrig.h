#pragma once
// The main window against a virtual reader with a UHF module, offscreen and in
// virtual time, for the EPC/eTag and radio pages' tests.
#include "app/frmmain.h"
#include "link/virtualtime.h"
#include "sim/core/virtualreader.h"
#include "sim/modules/uhfmodule.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"
#include "windowrig.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kv350::testing {

// Virtual time whose "process pending input" runs what a test scripts there:
// the clicks a user makes while a long operation polls.
struct ScriptedPause final : Pause {
    explicit ScriptedPause(VirtualTime &time) : m_time(time) {}
    void wait(int ms) override { m_time.wait(ms); }
    void processPending() override { m_time.processPending(); }
    void processInput() override
    {
        ++inputs;
        if (onInput)
            onInput(inputs);
    }
    std::function<void(int)> onInput;
    int inputs = 0;

private:
    VirtualTime &m_time;
};

// Takes command 0x00 over from the UHF module for as many requests as it has
// replies queued: a reader whose module answers what the test wants.
struct ScriptedModule : sim::ReaderModule {
    std::deque<QByteArray> replies;
    bool handles(std::uint8_t cmd) const override { return cmd == 0x00 && !replies.empty(); }
    std::vector<QByteArray> handle(const sim::Request &, sim::ReaderContext &) override
    {
        QByteArray reply = replies.front();
        replies.pop_front();
        return {reply};
    }
};

struct UhfWindowRig {
    // A test loop that is never stopped by its script ends here with a failure.
    static constexpr int MaxInputs = 2000;

    UhfWindowRig(const char *model, const char *page, bool serial = false)
    {
        sim::Identity id;
        id.model = model;
        reader = std::make_unique<sim::VirtualReader>(id);
        auto module = std::make_unique<ScriptedModule>();
        scripted = module.get();
        reader->addModule(std::move(module));
        hid = std::make_unique<sim::SimHidDevice>(*reader, time);
        serialPort = std::make_unique<sim::SimSerialStream>(*reader, time);
        window = std::make_unique<TfrmMain>(
            WindowServices{*hid, *serialPort, time, pause, sounder, dialogs, store, ports});
        if (serial)
            window->addExtraPort(QStringLiteral("/dev/virtual-reader"), true);
        window->show();
        find<QTabWidget>("pcMain")->setCurrentWidget(find<QWidget>(page));
        onPoll(nullptr);
        reader->clearRequests();
        uhf().clearTexts();
        time.clearRecord();
        sounder.tones.clear();
    }

    template<class T = QWidget>
    T *find(const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char *button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    QString message() { return find<QLabel>("pnMsg")->text(); }
    sim::UhfModule &uhf() { return reader->uhf(); }
    // What went on the wire, request by request.
    const std::vector<QByteArray> &requests() { return reader->requests(); }
    // Runs `step` at each poll of a long operation, with the poll's number.
    void onPoll(std::function<void(int)> step)
    {
        pause.onInput = [this, step](int n) {
            if (step)
                step(n);
            if (n >= MaxInputs) {
                ADD_FAILURE() << "the operation was never stopped";
                pause.onInput = nullptr;
                QMetaObject::invokeMethod(find<QPushButton>("btnOvtraTest"), "click");
            }
        };
    }

    VirtualTime time;
    ScriptedPause pause{time};
    std::unique_ptr<sim::VirtualReader> reader;
    ScriptedModule *scripted = nullptr;
    std::unique_ptr<sim::SimHidDevice> hid;
    std::unique_ptr<sim::SimSerialStream> serialPort;
    FakeSounder sounder;
    FakeDialogs dialogs;
    i18n::MemoryLanguageStore store;
    FakePorts ports;
    std::unique_ptr<TfrmMain> window;
};

// 02, LEN, CMD and the DATA.
inline QByteArray frame(std::uint8_t cmd, const QByteArray &data)
{
    return QByteArray(1, '\x02') + char(1 + data.size()) + char(cmd) + data;
}

}  // namespace kv350::testing
