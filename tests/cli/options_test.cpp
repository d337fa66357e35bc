// kv350ctl's arguments: what it accepts and what it refuses with status 2.
#include "commandtable.h"
#include "exitstatus.h"
#include "options.h"

#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::cli;

namespace {
ParseResult parse(const QString &line)
{
    return parseArguments(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}
}  // namespace

TEST(CliOptions, AcceptsEachWayToReachAReader)
{
    auto r = parse("--port /dev/pts/3 identify --json");
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_EQ(r.options->via, Via::Serial);
    EXPECT_EQ(r.options->port, "/dev/pts/3");
    EXPECT_EQ(r.options->command, Command::Identify);
    EXPECT_TRUE(r.options->json);

    r = parse("--usb --vid 1234 --pid 0xabcd raw 02 01 0D");
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_EQ(r.options->via, Via::Usb);
    EXPECT_EQ(r.options->vid, 0x1234);
    EXPECT_EQ(r.options->pid, 0xABCD);
    EXPECT_EQ(r.options->frame, QByteArray::fromHex("02010D"));

    r = parse("--simulate KV350-LF-X raw 02010D");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->via, Via::Simulated);
    EXPECT_EQ(r.options->model, "KV350-LF-X");
    EXPECT_EQ(r.options->frame, QByteArray::fromHex("02010D"));

    r = parse("identify");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->via, Via::Usb) << "USB is the default";
    EXPECT_EQ(r.options->vid, 0x0E6A);
    EXPECT_EQ(r.options->pid, 0x0317);
}

TEST(CliOptions, RefusesBadArguments)
{
    const char *bad[] = {
        "",                               // no command
        "frobnicate",                     // unknown command
        "--port",                         // missing value
        "--port /dev/x --usb identify",   // two ways at once
        "--simulate KV350-XX identify",   // unknown model
        "--simulate kv350-mic identify",  // models are exact
        "--usb --vid 12345 identify",     // more than 4 hex digits
        "--usb --pid zz identify",
        "--port /dev/x --vid 1 identify",  // ids only with USB
        "raw",                             // no frame
        "raw 02 1 0D",                     // half a byte
        "raw 02 01 GG",
        "raw 02 01",  // shorter than a frame
        "ports --json",
        "identify extra",
        "--verbose identify",
    };
    for (const char *line : bad) {
        const ParseResult r = parse(QString::fromLatin1(line));
        EXPECT_FALSE(r.options) << line;
        EXPECT_FALSE(r.error.isEmpty()) << line;
    }
    // Ids are plain hex digits (a written "0x" aside): no sign, no blank.
    for (const char *id : {"+1", " 1", "1 ", "-1", "0x", "0x+1", "0x 1"}) {
        const ParseResult r = parseArguments({"--usb", "--vid", QString::fromLatin1(id), "identify"});
        EXPECT_FALSE(r.options) << '"' << id << '"';
        EXPECT_TRUE(r.error.contains("hexadecimal")) << r.error.toStdString();
    }
}

TEST(CliOptions, HexWordsTakeWholeBytesOnly)
{
    EXPECT_EQ(parseHexWords({"02", "01", "0d"}), QByteArray::fromHex("02010D"));
    EXPECT_EQ(parseHexWords({"02 01 0D"}), QByteArray::fromHex("02010D"));
    EXPECT_FALSE(parseHexWords({}).has_value());
    EXPECT_FALSE(parseHexWords({"0x02"}).has_value());
    EXPECT_FALSE(parseHexWords({"021"}).has_value());
    // Letters beyond ASCII are not digits, whatever their Latin-1 byte.
    EXPECT_FALSE(parseHexWords({QString::fromUtf8("\u00E9\u00C0")}).has_value());
    EXPECT_FALSE(parseHexWords({QString::fromUtf8("\u0661\u0662")}).has_value());
    EXPECT_FALSE(parseHexWords({QString::fromUtf8("\uFF10\uFF11")}).has_value());
}

TEST(CliOptions, GlobalOptionsComeBeforeTheCommandAndItsOwnAfter)
{
    auto r = parse("-v --simulate KV350-MIC --card mifare1k --card epc --json identify");
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_TRUE(r.options->verbose);
    EXPECT_TRUE(r.options->json) << "--json before the command, for a command that takes it";
    EXPECT_EQ(r.options->cards, (QStringList{"mifare1k", "epc"}));

    r = parse("--version");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->command, Command::Version);

    for (const char *bad : {
             "--card mifare1k identify",                     // a card needs the virtual reader
             "--simulate KV350-MIC --card floppy identify",  // no such kind
             "--json ports",                                 // ports prints no JSON
             "identify --port /dev/x",                       // global options go first
             "firmware pack --model M --version V a b --json",
             "-x identify",
         }) {
        const ParseResult p = parse(QString::fromLatin1(bad));
        EXPECT_FALSE(p.options) << bad;
        EXPECT_FALSE(p.error.isEmpty()) << bad;
    }
}

TEST(CliOptions, EveryCommandOfTheTableHasItsOwnHelp)
{
    ASSERT_FALSE(commandTable().empty());
    for (const CommandSpec &c : commandTable()) {
        const QString words = c.words.join(' ');
        const ParseResult r = parse(words + " --help");
        ASSERT_TRUE(r.options) << words.toStdString() << ": " << r.error.toStdString();
        EXPECT_EQ(r.options->command, Command::Help);
        EXPECT_TRUE(r.options->helpText.startsWith("usage: kv350ctl [global options] " + words + ' '))
            << r.options->helpText.toStdString();
        for (const QCommandLineOption &o : c.options)
            EXPECT_TRUE(r.options->helpText.contains("--" + o.names().first())) << words.toStdString();
        EXPECT_EQ(r.options->helpText.contains("--json"), c.json) << words.toStdString();
        EXPECT_TRUE(usageText().contains("  " + words + ' ')) << "the program's help lists " << words.toStdString();
        EXPECT_EQ(findCommand(words), &c);
    }
    // A group word alone with --help lists the group's commands.
    const ParseResult group = parse("firmware --help");
    ASSERT_TRUE(group.options);
    EXPECT_TRUE(group.options->helpText.contains("firmware upgrade FILE"));
    EXPECT_EQ(findCommand("firmware"), nullptr);
}

TEST(CliOptions, EveryLinkFailureEndsWithTheSameDocumentedStatus)
{
    // A script tells a missing reader from a refusal by the message; every
    // failure of the link is status 1, as the help says.
    EXPECT_EQ(exitStatusFor(LinkError::None), ExitDone);
    for (LinkError e :
         {LinkError::Busy, LinkError::BadRequest, LinkError::OpenFailed, LinkError::NoReader, LinkError::NoSerialNumber,
          LinkError::EmptySerialNumber, LinkError::NoModel, LinkError::WriteFailed, LinkError::NotTaken,
          LinkError::NoReply, LinkError::Cut, LinkError::NotAFrame, LinkError::TwoReplies, LinkError::WrongEcho,
          LinkError::Rejected, LinkError::DeviceGone, LinkError::PortGone})
        EXPECT_EQ(exitStatusFor(e), ExitFailed) << linkErrorName(e).toStdString();
    EXPECT_TRUE(usageText().endsWith(exitStatusHelp()));
}
