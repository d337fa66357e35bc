// kv350-sim: the virtual reader on a pseudo-terminal, for trying the tools
// without hardware. The first line on stdout is the device path to open.

#include "sim/core/cardkinds.h"
#include "sim/core/identity.h"
#include "sim/modules/uhfmodule.h"
#include "sim/transports/ptyserver.h"

#include <QCommandLineParser>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <pthread.h>

using namespace kv350::sim;

namespace {

// The card kinds this build can put on the reader.
const QStringList cardKinds = cardKindNames();

int usageError(const QString &message)
{
    std::fprintf(stderr, "kv350-sim: %s\n", qPrintable(message));
    return 2;
}

QString modelList()
{
    QStringList names;
    for (const QByteArray &model : knownModels())
        names << QString::fromLatin1(model);
    return names.join(QStringLiteral(", "));
}

}  // namespace

int main(int argc, char *argv[])
{
    // Blocked before the serving thread exists so that only sigwait() below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves a virtual KV350 reader on a pseudo-terminal until SIGINT or SIGTERM.\n"
                       "The first line of output is the device path to open."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help."));
    const QCommandLineOption modelOption(QStringLiteral("model"),
                                         QStringLiteral("Reader model (default KV350-MIC): %1.").arg(modelList()),
                                         QStringLiteral("MODEL"), QStringLiteral("KV350-MIC"));
    const QCommandLineOption serialOption(QStringLiteral("serial"),
                                          QStringLiteral("Serial number, up to 8 characters (default 12345678)."),
                                          QStringLiteral("N"), QStringLiteral("12345678"));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Firmware version, up to 4 characters (default V1.0)."),
                                           QStringLiteral("V"), QStringLiteral("V1.0"));
    const QCommandLineOption cardOption(
        QStringLiteral("card"),
        QStringLiteral("Put a card of this kind on the reader (repeatable). Kinds: %1.")
            .arg(cardKinds.isEmpty() ? QStringLiteral("none in this build") : cardKinds.join(QStringLiteral(", "))),
        QStringLiteral("KIND"));
    parser.addOptions({helpOption, modelOption, serialOption, versionOption, cardOption});

    if (!parser.parse(args))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        // Without a QCoreApplication the parser does not know our name.
        std::fputs(
            qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kv350-sim"))),
            stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));

    Identity identity;
    identity.model = parser.value(modelOption).toLatin1();
    identity.serial = parser.value(serialOption).toLatin1();
    identity.version = parser.value(versionOption).toLatin1();
    if (!isKnownModel(identity.model))
        return usageError(
            QStringLiteral("unknown model %1; known models: %2").arg(parser.value(modelOption), modelList()));
    if (identity.serial.size() > 8)
        return usageError(QStringLiteral("a serial number has at most 8 characters"));
    if (identity.version.size() > 4)
        return usageError(QStringLiteral("a version has at most 4 characters"));

    PtyServer server(identity);
    for (const QString &card : parser.values(cardOption)) {
        QString error;
        if (!server.withReader([&](VirtualReader &reader) { return placeCardKind(reader, card, &error); }))
            return usageError(error);
    }
    if (!server.start()) {
        std::fprintf(stderr, "kv350-sim: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    std::printf("%s\n", qPrintable(server.devicePath()));
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}
