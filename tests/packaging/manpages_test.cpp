// The manual pages against the programs' own --help, read when the test runs:
// an option or command added to (or dropped from) a program fails here until
// its manual page says so too.
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <ostream>

namespace {

struct Program {
    const char *name;
    const char *path;
    bool hasCommands;
};
void PrintTo(const Program &program, std::ostream *os)
{
    *os << program.name;
}

// A program's --help as a user sees it.
struct Help {
    int status = -1;
    QString text;
};

Help helpOf(const QString &path, QStringList args)
{
    args << QStringLiteral("--help");
    QProcess p;
    p.start(path, args);
    p.waitForFinished(10000);
    Help h;
    if (p.exitStatus() == QProcess::NormalExit)
        h.status = p.exitCode();
    h.text = QString::fromLocal8Bit(p.readAllStandardOutput());
    return h;
}

// Options as words: "--port", "-h"; not the dashes inside "KV350-MIC-X".
QSet<QString> optionsIn(const QString &text)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?[A-Za-z][A-Za-z0-9-]*)"));
    QSet<QString> found;
    for (const QRegularExpressionMatch &m : option.globalMatch(text))
        found.insert(m.captured(1));
    return found;
}

// The lower-case words a command line starts with: "firmware pack" of
// "firmware pack --model NAME ..."; two spaces end it (the description follows).
QString commandWords(const QString &line)
{
    static const QRegularExpression word(QStringLiteral("^[a-z][a-z0-9-]*$"));
    QStringList words;
    const QString synopsis = line.trimmed().section(QStringLiteral("  "), 0, 0);
    for (const QString &w : synopsis.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!word.match(w).hasMatch())
            break;
        words << w;
    }
    return words.join(QLatin1Char(' '));
}

// The entries of a "commands:" section of a help text: its least indented
// lines up to the next empty line.
QStringList commandsIn(const QString &help)
{
    const QStringList lines = help.split(QLatin1Char('\n'));
    qsizetype start = -1;
    for (qsizetype i = 0; i < lines.size() && start < 0; ++i)
        if (lines[i].trimmed().compare(QLatin1String("commands:"), Qt::CaseInsensitive) == 0)
            start = i + 1;
    if (start < 0)
        return {};
    QStringList section;
    for (qsizetype i = start; i < lines.size() && !lines[i].trimmed().isEmpty(); ++i)
        section << lines[i];
    auto indentOf = [](const QString &line) {
        qsizetype n = 0;
        while (n < line.size() && line[n].isSpace())
            ++n;
        return n;
    };
    qsizetype indent = std::numeric_limits<qsizetype>::max();
    for (const QString &line : section)
        indent = std::min(indent, indentOf(line));
    QStringList commands;
    for (const QString &line : section) {
        if (indentOf(line) != indent)
            continue;
        const QString command = commandWords(line.trimmed());
        if (!command.isEmpty())
            commands << command;
    }
    return commands;
}

// The numbers of the paragraph that starts with "exit status" or "exit code".
QSet<QString> exitCodesIn(const QString &help)
{
    const QStringList lines = help.split(QLatin1Char('\n'));
    static const QRegularExpression heading(QStringLiteral("exit (status|code)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression number(QStringLiteral("\\b(\\d+)\\b"));
    QSet<QString> codes;
    bool inside = false;
    for (const QString &line : lines) {
        if (!inside && heading.match(line).hasMatch())
            inside = true;
        else if (inside && line.trimmed().isEmpty())
            break;
        if (inside)
            for (const QRegularExpressionMatch &m : number.globalMatch(line))
                codes.insert(m.captured(1));
    }
    return codes;
}

// What a manual page documents: the tags of its .TP paragraphs, by section.
struct ManPage {
    bool read = false;
    QStringList sections;
    QMap<QString, QStringList> tags;  // section -> tag lines as plain text
};

// Plain text of a roff line: no font changes, no macro, no quotes.
QString plain(QString line)
{
    static const QRegularExpression font(QStringLiteral("\\\\f[BIRP]"));
    static const QRegularExpression macro(QStringLiteral("^\\.(B|I|BI|BR|IB|IR|RB|RI)\\s+"));
    line.remove(font);
    line.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    line.remove(QStringLiteral("\\&"));
    line.remove(macro);
    line.remove(QLatin1Char('"'));
    return line.simplified();
}

ManPage readManPage(const QString &path)
{
    ManPage page;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return page;
    page.read = true;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QString section;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String(".SH "))) {
            section = plain(lines[i].mid(4));
            page.sections << section;
        } else if (lines[i] == QLatin1String(".TP") && i + 1 < lines.size()) {
            page.tags[section] << plain(lines[i + 1]);
        }
    }
    return page;
}

QString manPath(const char *program)
{
    return QStringLiteral(KV350_MAN_DIR "/%1.1").arg(QLatin1String(program));
}

// What a program's help says, its per-command help included where it has one.
struct Documented {
    QSet<QString> options;
    QSet<QString> commands;
    QSet<QString> exitCodes;
};

Documented fromHelp(const Program &program, const Help &top)
{
    Documented d{optionsIn(top.text), {}, exitCodesIn(top.text)};
    const QStringList commands = commandsIn(top.text);
    for (const QString &command : commands) {
        d.commands.insert(command);
        const Help own = helpOf(QLatin1String(program.path), command.split(QLatin1Char(' ')));
        if (own.status != 0 || own.text == top.text)
            continue;
        d.options.unite(optionsIn(own.text));
        for (const QString &sub : commandsIn(own.text))
            d.commands.insert(sub.startsWith(command + QLatin1Char(' ')) ? sub : command + QLatin1Char(' ') + sub);
    }
    return d;
}

Documented fromManPage(const ManPage &page)
{
    Documented d;
    for (const char *section : {"OPTIONS", "COMMANDS"})
        for (const QString &tag : page.tags.value(QLatin1String(section)))
            d.options.unite(optionsIn(tag));
    for (const QString &tag : page.tags.value(QStringLiteral("COMMANDS")))
        d.commands.insert(commandWords(tag));
    for (const QString &tag : page.tags.value(QStringLiteral("EXIT STATUS")))
        d.exitCodes.insert(tag);
    return d;
}

std::string missing(const QSet<QString> &wanted, const QSet<QString> &have)
{
    QStringList out;
    for (const QString &w : wanted)
        if (!have.contains(w))
            out << w;
    out.sort();
    return out.join(QStringLiteral(", ")).toStdString();
}

class ManualPage : public ::testing::TestWithParam<Program> {};

TEST_P(ManualPage, SaysWhatTheHelpSays)
{
    const Program program = GetParam();
    const Help help = helpOf(QLatin1String(program.path), {});
    ASSERT_EQ(help.status, 0) << program.name << " --help";
    const ManPage page = readManPage(manPath(program.name));
    ASSERT_TRUE(page.read) << manPath(program.name).toStdString();

    const Documented told = fromHelp(program, help);
    const Documented written = fromManPage(page);
    if (program.hasCommands) {
        ASSERT_FALSE(told.commands.isEmpty())
            << program.name << " --help lists no commands under a \"commands:\" heading; this test reads them there";
    }
    ASSERT_FALSE(told.options.isEmpty()) << program.name << " --help names no options";

    EXPECT_EQ(missing(told.options, written.options), "")
        << "options of " << program.name << " --help that its manual page does not describe";
    EXPECT_EQ(missing(told.commands, written.commands), "")
        << "commands of " << program.name << " --help that its manual page does not describe";
    EXPECT_EQ(missing(told.exitCodes, written.exitCodes), "")
        << "exit codes of " << program.name << " --help missing from the manual page's EXIT STATUS";

    // The reverse: nothing the program no longer has. --help itself was just run.
    QSet<QString> accepted = told.options;
    accepted << QStringLiteral("--help") << QStringLiteral("-h");
    EXPECT_EQ(missing(written.options, accepted), "")
        << "options in the manual page of " << program.name << " that its --help does not name";
    EXPECT_EQ(missing(written.commands, told.commands), "")
        << "commands in the manual page of " << program.name << " that its --help does not name";
    if (!told.exitCodes.isEmpty()) {
        EXPECT_EQ(missing(written.exitCodes, told.exitCodes), "")
            << "exit codes in the manual page of " << program.name << " that its --help does not name";
    }
}

TEST_P(ManualPage, HasTheSectionsAUserLooksFor)
{
    const Program program = GetParam();
    const ManPage page = readManPage(manPath(program.name));
    ASSERT_TRUE(page.read);
    for (const char *section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES", "SEE ALSO"})
        EXPECT_TRUE(page.sections.contains(QLatin1String(section))) << program.name << " lacks " << section;
    if (program.hasCommands) {
        EXPECT_TRUE(page.sections.contains(QStringLiteral("COMMANDS")));
    }
    EXPECT_FALSE(page.tags.value(QStringLiteral("EXIT STATUS")).isEmpty());
}

TEST_P(ManualPage, FormatsWithoutWarnings)
{
    const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
    if (groff.isEmpty())
        GTEST_SKIP() << "groff is not installed";
    QProcess p;
    p.start(groff, {QStringLiteral("-man"), QStringLiteral("-ww"), QStringLiteral("-z"), manPath(GetParam().name)});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()).toStdString(), "");
}

INSTANTIATE_TEST_SUITE_P(Programs, ManualPage,
                         ::testing::Values(Program{"kv350ctl", KV350_CTL_PATH, true},
                                           Program{"kv350-sim", KV350_SIM_PATH, false},
                                           Program{"kv350tools", KV350_TOOLS_PATH, false}),
                         [](const ::testing::TestParamInfo<Program> &info) {
                             return QString::fromLatin1(info.param.name).remove(QLatin1Char('-')).toStdString();
                         });

// The readers of the help text, on the shapes a help text takes.
TEST(HelpText, OptionsAreDashedWordsNotModelNames)
{
    EXPECT_EQ(optionsIn(QStringLiteral("usage: kv350ctl [--port PATH | --usb] -h, --vid=HEX KV350-MIC-X e-mail -1")),
              (QSet<QString>{"--port", "--usb", "-h", "--vid"}));
}

TEST(HelpText, CommandsAreTheLeastIndentedLinesOfTheirSection)
{
    const QString help = QStringLiteral("usage: tool COMMAND\n"
                                        "\n"
                                        "Commands:\n"
                                        "  identify [--json]   print the model\n"
                                        "  raw HEX...          send one frame\n"
                                        "  ports               list the ports\n"
                                        "  firmware pack --model NAME PAYLOAD\n"
                                        "                      build a firmware file\n"
                                        "  firmware info FILE  print a file\n"
                                        "\n"
                                        "  later  not a command\n");
    EXPECT_EQ(commandsIn(help), (QStringList{"identify", "raw", "ports", "firmware pack", "firmware info"}));
    EXPECT_TRUE(commandsIn(QStringLiteral("Options:\n  --port PATH\n")).isEmpty());
}

TEST(HelpText, ExitCodesAreTheNumbersOfTheirParagraph)
{
    EXPECT_EQ(exitCodesIn(QStringLiteral("models: KV350-M1\nexit status: 0 done, 1 no reply, 2 bad arguments\n")),
              (QSet<QString>{"0", "1", "2"}));
    EXPECT_EQ(exitCodesIn(QStringLiteral("Exit codes:\n  0  done\n  3  busy\n\nSee 5 more\n")),
              (QSet<QString>{"0", "3"}));
    EXPECT_TRUE(exitCodesIn(QStringLiteral("Options:\n  --retries 3\n")).isEmpty());
}

TEST(ManPageText, TagsLoseTheirFontsAndMacros)
{
    EXPECT_EQ(plain(QStringLiteral(".BI \"firmware pack \\-\\-model \" NAME \" \\-\\-version \" TEXT")),
              "firmware pack --model NAME --version TEXT");
    EXPECT_EQ(plain(QStringLiteral(".BR \\-h \", \" \\-\\-help")), "-h , --help");
    EXPECT_EQ(commandWords(plain(QStringLiteral(".BR identify \" [\" \\-\\-json ]"))), "identify");
}

}  // namespace
