// kv350tools: the window.
#include "app/appidentity.h"
#include "app/frmmain.h"
#include "app/startlog.h"
#include "link/devicewatch.h"
#include "link/hidapibackend.h"
#include "link/models.h"
#include "link/qserialdevice.h"
#include "sim/core/cardkinds.h"
#include "sim/transports/simulatedreader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QStandardPaths>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

using namespace kv350;

int main(int argc, char **argv)
{
    startClock();
    startMark(QStringLiteral("main"));  // the libraries are loaded
    QApplication app(argc, argv);
    startMark(QStringLiteral("application"));
    QApplication::setApplicationName(QStringLiteral("KV350 Tools"));
    QGuiApplication::setDesktopFileName(appId());
    try {
        QCommandLineParser parser;
        parser.setApplicationDescription(QStringLiteral("Configuration and test tool for KV350 card readers."));
        parser.addHelpOption();
        const QCommandLineOption simulate(QStringLiteral("simulate"),
                                          QStringLiteral("Use a virtual reader of this model on the USB path."),
                                          QStringLiteral("MODEL"));
        const QCommandLineOption port(QStringLiteral("port"),
                                      QStringLiteral("Add this serial device to the port list and use it."),
                                      QStringLiteral("PATH"));
        const QCommandLineOption card(QStringLiteral("card"),
                                      QStringLiteral("With --simulate: put a card of this kind on the virtual reader "
                                                     "(repeatable): %1.")
                                          .arg(sim::cardKindNames().join(QStringLiteral(", "))),
                                      QStringLiteral("KIND"));
        parser.addOption(simulate);
        parser.addOption(port);
        parser.addOption(card);
        if (!parser.parse(app.arguments())) {
            fprintf(stderr, "kv350tools: %s\n\n%s", qPrintable(parser.errorText()), qPrintable(parser.helpText()));
            return 2;
        }
        if (parser.isSet(QStringLiteral("help"))) {
            printf("%s", qPrintable(parser.helpText()));
            return 0;
        }
        const QString model = parser.value(simulate);
        if (parser.isSet(simulate) && !knownModels().contains(model)) {
            fprintf(stderr, "kv350tools: --simulate needs one of: %s\n", qPrintable(knownModels().join(", ")));
            return 2;
        }

        std::optional<sim::SimulatedReader> simulated;
        std::unique_ptr<HidBackend> hidapi;
        HidBackend *hid = nullptr;
        if (parser.isSet(simulate)) {
            QString error;
            simulated = sim::makeSimulatedReader(model, parser.values(card), systemClock(), &error);
            if (!simulated) {
                fprintf(stderr, "kv350tools: %s\n", qPrintable(error));
                return 2;
            }
            hid = simulated->hid.get();
        } else if (parser.isSet(card)) {
            fprintf(stderr, "kv350tools: --card needs --simulate\n");
            return 2;
        } else {
            hidapi = std::make_unique<HidapiBackend>();
            hid = hidapi.get();
        }
        QSerialDevice serial;
        EventLoopPause pause;
        ToneSounder sounder(pause);
        QtDialogs dialogs;
        i18n::QSettingsLanguageStore store;
        SystemPortList ports;
        TfrmMain window({*hid, serial, systemClock(), pause, sounder, dialogs, store, ports},
                        PageCreation::OnFirstView);
        dialogs.setParent(&window);
        if (parser.isSet(port))
            window.addExtraPort(parser.value(port), true);
        // The icon's pictures are read once the window is drawn: the window
        // system takes every size of it, and the user need not wait for that to see the window.
        QObject::connect(&window, &TfrmMain::firstDrawn, [] { QApplication::setWindowIcon(appIcon()); });
        window.keepSessionLogIn(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                                QStringLiteral("/session-logs"));
        window.show();
        // Closed during the show sequence: nothing is left to wait for.
        if (window.isHidden())
            return 0;
        // Readers plugged in from now on are connected without a click.
        const std::unique_ptr<DeviceWatch> watch = makeSystemDeviceWatch();
        window.setDeviceWatch(watch.get());
        const int status = app.exec();
        window.setDeviceWatch(nullptr);
        return status;
    } catch (const std::exception &e) {
        // Start-up failed: say why and end with a failure status.
        fprintf(stderr, "kv350tools: %s\n", e.what());
        QMessageBox::critical(nullptr, QStringLiteral("KV350 Tools"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
