#pragma once
// The main window against a virtual reader, with the service fakes, offscreen
// and in virtual time: what the widget tests of every page stand on.
#include "app/frmmain.h"
#include "hexbytes.h"
#include "link/virtualtime.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace kv350::testing {

struct FakeSounder : Sounder {
    std::vector<int> tones;  // frequencies, in order
    std::vector<int> durations;
    void tone(int hz, int ms) override
    {
        tones.push_back(hz);
        durations.push_back(ms);
    }
};

struct FakeDialogs : Dialogs {
    std::vector<std::pair<QString, QString>> shown;
    std::vector<std::pair<QString, QString>> opened;  // caption and filter of each open-file dialog
    QStringList answers;                // what the open-file dialog returns, in turn; none left: cancelled
    std::vector<Confirmation> asked;    // every Yes/No question, in order
    std::deque<bool> replies;           // the user's answers, in turn; none left: No, the box's default
    std::function<void()> whileAsking;  // runs while a question is on screen
    void message(const QString &caption, const QString &text) override { shown.emplace_back(caption, text); }
    bool confirm(const Confirmation &question) override
    {
        asked.push_back(question);
        if (whileAsking)
            whileAsking();
        if (replies.empty())
            return false;
        const bool yes = replies.front();
        replies.pop_front();
        return yes;
    }
    // The next `times` questions are answered Yes.
    void yes(int times = 1) { replies.insert(replies.end(), times, true); }
    void no() { replies.push_back(false); }
    QString openFile(const QString &caption, const QString &filter) override
    {
        opened.emplace_back(caption, filter);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList saveAnswers;  // what the save-file dialog returns, in turn; none left: cancelled
    QString saveFile(const QString &caption, const QString &filter) override
    {
        opened.emplace_back(caption, filter);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    std::vector<TextTable> tables;  // every table shown or asked about, in order
    bool confirmTable(const Confirmation &question, const TextTable &table) override
    {
        tables.push_back(table);
        return confirm(question);
    }
    void showTable(const QString &caption, const QString &text, const TextTable &table) override
    {
        tables.push_back(table);
        message(caption, text);
    }
};

struct FakePorts : PortList {
    QStringList ports;
    QStringList serialPorts() const override { return ports; }
};

struct WindowRig {
    explicit WindowRig(const char *model = "KV350-MIC", std::optional<QString> storedLanguage = {},
                       PageCreation pages = PageCreation::WithWindow)
    {
        sim::Identity id;
        id.model = model;
        reader = std::make_unique<sim::VirtualReader>(id);
        hid = std::make_unique<sim::SimHidDevice>(*reader, time);
        serial = std::make_unique<sim::SimSerialStream>(*reader, time);
        store.m_value = storedLanguage;
        window = std::make_unique<TfrmMain>(WindowServices{*hid, *serial, time, time, sounder, dialogs, store, ports},
                                            pages);
    }
    void show() { window->show(); }
    template<class T = QWidget>
    T *find(const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            ADD_FAILURE() << "no control named " << name;
        return found;
    }
    // A click as the user makes it, wherever the button's page is (nothing happens when it is disabled).
    void click(const char *button) { find<QAbstractButton>(button)->click(); }
    QString status() { return find<QLabel>("pnStatus")->text(); }
    QString message() { return find<QLabel>("pnMsg")->text(); }
    bool tabVisible(const char *page)
    {
        QTabWidget *tabs = find<QTabWidget>("pcMain");
        return tabs->isTabVisible(tabs->indexOf(find<QWidget>(page)));
    }
    // The last request frame the reader received.
    QByteArray lastRequest() const { return reader->requests().empty() ? QByteArray() : reader->requests().back(); }
    // Serial transport through the in-process serial stream, as a pty reader would be used.
    void useSerial() { window->addExtraPort(QStringLiteral("/dev/virtual-reader"), true); }

    VirtualTime time;
    std::unique_ptr<sim::VirtualReader> reader;
    std::unique_ptr<sim::SimHidDevice> hid;
    std::unique_ptr<sim::SimSerialStream> serial;
    FakeSounder sounder;
    FakeDialogs dialogs;
    i18n::MemoryLanguageStore store;
    FakePorts ports;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace kv350::testing
