// Renders the main window against a virtual reader, every page the model
// shows in every language, into PNG files:
//   kv350-screenshots OUTDIR [MODEL|none|all]
// MODEL (default KV350-MIC-X): the tabs a user of that model sees, into OUTDIR.
// none: no reader attached (the tabs of the start). all: each model and none
// in turn, into OUTDIR/<model>/. Runs offscreen unless QT_QPA_PLATFORM says
// otherwise (e.g. xcb under Xvfb).
#include "app/frmmain.h"
#include "link/models.h"
#include "link/virtualtime.h"
#include "sim/core/cardkinds.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>

using namespace kv350;

namespace {
struct Silent : Sounder {
    void tone(int, int) override {}
};
// Every question is answered Yes: the pictures show what a run fills in (the
// loop test asks before it writes the virtual card).
struct NoDialogs : Dialogs {
    void message(const QString &, const QString &) override {}
    bool confirm(const Confirmation &) override { return true; }
    QString openFile(const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &) override { return {}; }
};
struct NoPorts : PortList {
    QStringList serialPorts() const override { return {}; }
};

// The window as a user of `model` sees it ("none": no reader), in the three
// languages; the number of files written.
int render(const QString &model, const QString &out)
{
    QDir().mkpath(out);
    sim::Identity id;
    const bool noReader = model == QLatin1String("none");
    id.model = noReader ? QByteArray("KV350-MIC") : model.toLatin1();
    VirtualTime time;
    sim::VirtualReader reader(id);
    // A card in the field, so that the MIFARE page's loop test can fill its list.
    QString error;
    sim::placeCardKind(reader, QStringLiteral("mifare1k"), &error);
    sim::SimHidDevice hid(reader, time);
    if (noReader)
        hid.unplug();
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
        for (int i = 0; i < tabs->count(); ++i) {
            if (!tabs->isTabVisible(i))
                continue;
            tabs->setCurrentIndex(i);
            QApplication::processEvents();
            const QString file =
                QStringLiteral("%1/%2-%3.png").arg(out, QLatin1String(languages[lang]), tabs->widget(i)->objectName());
            if (window.grab().save(file))
                ++written;
            // The list with what the loop test writes in it: its longest lines.
            if (tabs->widget(i)->objectName() == QLatin1String("tsMifare") && !noReader) {
                window.findChild<QLineEdit *>(QStringLiteral("edM1Num"))->setText(QStringLiteral("1"));
                window.findChild<QPushButton *>(QStringLiteral("btnM1WR"))->click();
                QApplication::processEvents();
                const QString loop = QStringLiteral("%1/%2-tsMifare-loop.png").arg(out, QLatin1String(languages[lang]));
                if (window.grab().save(loop))
                    ++written;
            }
        }
    }
    return written;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: kv350-screenshots OUTDIR [MODEL|none|all]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString wanted = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("KV350-MIC-X");
    const QStringList every = knownModels() + QStringList{QStringLiteral("none")};
    if (wanted != QLatin1String("all") && !every.contains(wanted)) {
        fprintf(stderr, "kv350-screenshots: MODEL is one of %s, or all\n",
                qPrintable(every.join(QStringLiteral(", "))));
        return 2;
    }
    int written = 0;
    if (wanted == QLatin1String("all")) {
        for (const QString &model : every)
            written += render(model, QStringLiteral("%1/%2").arg(out, model));
    } else {
        written = render(wanted, out);
    }
    printf("%d screenshots in %s\n", written, qPrintable(out));
    return written > 0 ? 0 : 1;
}
