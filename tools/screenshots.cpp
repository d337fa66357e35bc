// Renders the main window against a virtual reader, every page in every
// language, into PNG files: kv350-screenshots OUTDIR [MODEL|all]
// ("all": every page, whichever model would show it).
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (e.g. xcb under Xvfb).
#include "app/frmmain.h"
#include "link/virtualtime.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <cstdio>

using namespace kv350;

namespace {
struct Silent : Sounder {
    void tone(int, int) override {}
};
struct NoDialogs : Dialogs {
    void message(const QString &, const QString &) override {}
    bool confirm(const Confirmation &) override { return false; }
    QString openFile(const QString &, const QString &) override { return {}; }
};
struct NoPorts : PortList {
    QStringList serialPorts() const override { return {}; }
};
}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: kv350-screenshots OUTDIR [MODEL]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    sim::Identity id;
    const QByteArray wanted = argc > 2 ? QByteArray(argv[2]) : QByteArray("KV350-MIC-X");
    const bool everyPage = wanted == "all";
    id.model = everyPage ? QByteArray("KV350-MIC-X") : wanted;
    VirtualTime time;
    sim::VirtualReader reader(id);
    sim::SimHidDevice hid(reader, time);
    sim::SimSerialStream serial(reader, time);
    Silent sounder;
    NoDialogs dialogs;
    i18n::MemoryLanguageStore store;
    NoPorts ports;
    TfrmMain window({hid, serial, time, time, sounder, dialogs, store, ports});
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("pcMain"));
    const char *languages[] = {"en", "zh-CN", "zh-TW"};
    int written = 0;
    for (int lang = 0; lang < 3; ++lang) {
        if (lang == 1)
            window.mnuSimplifiedClick();
        else if (lang == 2)
            window.mnuTraditionalClick();
        if (everyPage) {
            for (int i = 0; i < tabs->count(); ++i)
                tabs->setTabVisible(i, true);
        }
        for (int i = 0; i < tabs->count(); ++i) {
            if (!tabs->isTabVisible(i))
                continue;
            tabs->setCurrentIndex(i);
            app.processEvents();
            const QString file =
                QStringLiteral("%1/%2-%3.png").arg(out, QLatin1String(languages[lang]), tabs->widget(i)->objectName());
            if (window.grab().save(file))
                ++written;
        }
    }
    printf("%d screenshots in %s\n", written, qPrintable(out));
    return written > 0 ? 0 : 1;
}
