#include "sim/core/virtualreader.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kv350::sim;

namespace {

QByteArray paramRequest(std::uint8_t code, const QByteArray &value = {})
{
    return frame(0x03, QByteArray(1, char(code)) + value);
}

QByteArray paramReply(std::uint8_t code, const QByteArray &value)
{
    QByteArray r = hex("02 00 03 00");
    r[1] = char(3 + value.size());
    r.append(char(code));
    r.append(value);
    return r;
}

const QByteArray paramFailed = hex("02 02 03 01");

// Written out again here rather than taken from ParameterStore::table(), so a slip in the table shows.
struct ParamRow {
    std::uint8_t code;
    int width;
    const char *factory;  // KV350-MIC
    // A model whose hardware keeps the code: the KV350-MIC has no LF and no UHF.
    const char *model = "KV350-MIC";
};
// Names the row in test output instead of dumping its bytes.
inline void PrintTo(const ParamRow &row, std::ostream *os)
{
    *os << "code " << int(row.code);
}

// clang-format off
const ParamRow paramRows[] = {
    {0x01, 1, "01"}, {0x02, 1, "8F"}, {0x03, 3, "09 01 80"}, {0x04, 1, "05"},
    {0x05, 1, "0F"}, {0x06, 1, "0A"}, {0x07, 2, "00 00"}, {0x11, 7, "00 00 00 04 60 01 00"},
    {0x21, 3, "00 00 04"}, {0x23, 1, "03"}, {0x31, 1, "01", "KV350-LF"}, {0x41, 3, "00 02 06", "KV350-U1"},
};
// clang-format on

}  // namespace

// --- parameters --------------------------------------------------------------

class ParameterCode : public ::testing::TestWithParam<ParamRow> {};

TEST_P(ParameterCode, ReadsFactoryValueAndStoresWhatIsWritten)
{
    const ParamRow row = GetParam();
    VirtualReader reader(model(row.model));
    EXPECT_EQ(one(reader, paramRequest(row.code)), paramReply(row.code, hex(row.factory)));

    QByteArray value(row.width, '\0');
    for (int i = 0; i < row.width; ++i)
        value[i] = char(0xA0 + i);
    EXPECT_EQ(one(reader, paramRequest(row.code, value)), paramReply(row.code, value));
    EXPECT_EQ(one(reader, paramRequest(row.code)), paramReply(row.code, value));
}

TEST_P(ParameterCode, RefusesEveryOtherLengthAndKeepsTheValue)
{
    const ParamRow row = GetParam();
    VirtualReader reader(model(row.model));
    EXPECT_EQ(one(reader, paramRequest(row.code, QByteArray(row.width + 1, '\x11'))), paramFailed);
    for (int n = 1; n < row.width; ++n)
        EXPECT_EQ(one(reader, paramRequest(row.code, QByteArray(n, '\x11'))), paramFailed) << n;
    EXPECT_EQ(one(reader, paramRequest(row.code)), paramReply(row.code, hex(row.factory)));
}

INSTANTIATE_TEST_SUITE_P(AllCodes, ParameterCode, ::testing::ValuesIn(paramRows),
                         [](const auto &info) { return "code" + std::to_string(info.param.code); });

TEST(Parameters, NoOtherCodeIsKnown)
{
    EXPECT_EQ(ParameterStore::table().size(), std::size(paramRows));
    VirtualReader reader;
    for (int code : {0x00, 0x08, 0x10, 0x22, 0x42, 0xFF})
        EXPECT_EQ(one(reader, paramRequest(std::uint8_t(code))), paramFailed) << code;
    EXPECT_EQ(one(reader, hex("02 01 03")), paramFailed);
}

struct ModelIdFormat {
    const char *model;
    const char *idFormat;
};

inline void PrintTo(const ModelIdFormat &row, std::ostream *os)
{
    *os << row.model;
}

class FactoryPerModel : public ::testing::TestWithParam<ModelIdFormat> {};

TEST_P(FactoryPerModel, IdFormatDependsOnModel)
{
    VirtualReader reader(Identity{GetParam().model, "V1.0", "1"});
    EXPECT_EQ(one(reader, hex("02 02 03 03")), paramReply(0x03, hex(GetParam().idFormat)));
    // Factory default goes back to the same model's value, not the default model's.
    one(reader, hex("02 05 03 03 01 17 FF"));
    EXPECT_EQ(one(reader, hex("02 02 0F 02")), hex("02 02 0F 00"));
    EXPECT_EQ(one(reader, hex("02 02 03 03")), paramReply(0x03, hex(GetParam().idFormat)));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Models, FactoryPerModel,
                         ::testing::Values(ModelIdFormat {"KV350-IC", "09 01 80"},
                                           ModelIdFormat {"KV350-MIC", "09 01 80"},
                                           ModelIdFormat {"KV350-MIC-X", "09 01 80"},
                                           ModelIdFormat {"KV350-U1", "11 01 80"},
                                           ModelIdFormat {"KV350-M1", "05 01 80"},
                                           ModelIdFormat {"KV350-LF", "05 01 80"},
                                           ModelIdFormat {"KV350-LF-X", "05 01 80"},
                                           ModelIdFormat {"KV350-A1", "05 01 80"},
                                           // Padding is not part of the name; case is.
                                           ModelIdFormat {"KV350-U1    ", "11 01 80"},
                                           ModelIdFormat {"kv350-mic", "05 01 80"}));
// clang-format on

TEST(Parameters, FactoryDefaultRestoresEveryCodeButNotUserData)
{
    VirtualReader reader;
    one(reader, hex("02 05 0C 00 10 01 5A"));
    // The reader's state stays as it is while the model changes between codes.
    for (const ParamRow &row : paramRows) {
        reader.setModel(row.model);
        one(reader, paramRequest(row.code, QByteArray(row.width, '\x77')));
    }
    reader.setModel("KV350-MIC");
    EXPECT_EQ(one(reader, hex("02 02 0F 02")), hex("02 02 0F 00"));
    for (const ParamRow &row : paramRows) {
        reader.setModel(row.model);
        EXPECT_EQ(one(reader, paramRequest(row.code)), paramReply(row.code, hex(row.factory))) << int(row.code);
    }
    EXPECT_EQ(one(reader, hex("02 04 0C 00 10 01")), hex("02 03 0C 00 5A"));
}

TEST(Parameters, AcceptFilterDecidesWhatIsHeld)
{
    VirtualReader reader;
    QByteArray seenRequested, seenCurrent;
    // A reader that clamps the scan time to 10.
    reader.setAcceptFilter(0x04, [&](const QByteArray &requested, const QByteArray &current) {
        seenRequested = requested;
        seenCurrent = current;
        return QByteArray(1, char(std::min<std::uint8_t>(std::uint8_t(requested.at(0)), 0x0A)));
    });
    EXPECT_EQ(one(reader, hex("02 03 03 04 20")), hex("02 04 03 00 04 0A"));
    EXPECT_EQ(seenRequested, hex("20"));
    EXPECT_EQ(seenCurrent, hex("05"));
    EXPECT_EQ(one(reader, hex("02 03 03 04 03")), hex("02 04 03 00 04 03"));

    // One that ignores the top bit of the read mode; a short answer is zero-padded to the width.
    reader.setAcceptFilter(0x02, [](const QByteArray &requested, const QByteArray &) {
        return QByteArray(1, char(requested.at(0) & 0x7F));
    });
    EXPECT_EQ(one(reader, hex("02 03 03 02 8F")), hex("02 04 03 00 02 0F"));
    reader.setAcceptFilter(0x03, [](const QByteArray &, const QByteArray &) { return hex("07"); });
    EXPECT_EQ(one(reader, hex("02 05 03 03 01 02 03")), hex("02 06 03 00 03 07 00 00"));

    // The filter is a quirk of the reader: it outlives a factory default.
    one(reader, hex("02 02 0F 02"));
    EXPECT_EQ(one(reader, hex("02 03 03 04 FF")), hex("02 04 03 00 04 0A"));

    // An empty answer refuses the write and keeps the value.
    reader.setAcceptFilter(0x06, [](const QByteArray &, const QByteArray &) { return QByteArray(); });
    EXPECT_EQ(one(reader, hex("02 03 03 06 01")), paramFailed);
    EXPECT_EQ(one(reader, hex("02 02 03 06")), hex("02 04 03 00 06 0A"));
}

TEST(Parameters, AReplyCanCarryPartOfTheValue)
{
    VirtualReader reader;
    EXPECT_EQ(one(reader, hex("02 04 03 07 01 00")), hex("02 05 03 00 07 01 00"));
    reader.parameters().setReplyWidth(0x07, 1);
    EXPECT_EQ(one(reader, hex("02 02 03 07")), hex("02 04 03 00 07 01")) << "the layout alone";
    EXPECT_EQ(one(reader, hex("02 04 03 07 02 00")), hex("02 04 03 00 07 02"));
    EXPECT_EQ(reader.parameters().value(0x07), hex("02 00")) << "what is held is whole";
    one(reader, hex("02 02 0F 02"));
    EXPECT_EQ(one(reader, hex("02 02 03 07")), hex("02 04 03 00 07 00")) << "a quirk: factory default keeps it";
    reader.parameters().setReplyWidth(0x07, -1);
    EXPECT_EQ(one(reader, hex("02 02 03 07")), hex("02 05 03 00 07 00 00"));
}

TEST(Parameters, RebootKeepsValues)
{
    VirtualReader reader;
    one(reader, hex("02 03 03 05 22"));
    EXPECT_EQ(one(reader, hex("02 02 0F 01")), hex("02 02 0F 00"));
    EXPECT_TRUE(reader.takeRebootRequest());
    EXPECT_FALSE(reader.takeRebootRequest());
    EXPECT_EQ(reader.rebootCount(), 1);
    EXPECT_EQ(one(reader, hex("02 02 03 05")), hex("02 04 03 00 05 22"));
}

// --- identification ----------------------------------------------------------

struct IdentityRow {
    Identity identity;
    const char *request;
    QByteArray reply;
};
// Names the row in test output instead of dumping its bytes.
inline void PrintTo(const IdentityRow &row, std::ostream *os)
{
    *os << row.request;
}

class IdentityReply : public ::testing::TestWithParam<IdentityRow> {};

TEST_P(IdentityReply, HasItsFixedSize)
{
    VirtualReader reader(GetParam().identity);
    const QByteArray reply = one(reader, hex(GetParam().request));
    EXPECT_EQ(reply.size(), reply.at(2) == 0x0D ? 12 : 20);
    EXPECT_EQ(reply, GetParam().reply);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    SerialsAndModels, IdentityReply,
    ::testing::Values(
        IdentityRow {{"KV350-MIC", "V1.0", ""}, "02 01 0D", hex("02 0A 0D 00 00 00 00 00 00 00 00 00")},
        IdentityRow {{"KV350-MIC", "V1.0", "123"}, "02 01 0D", hex("02 0A 0D 00 31 32 33 00 00 00 00 00")},
        IdentityRow {{"KV350-MIC", "V1.0", "1234567890"}, "02 01 0D", hex("02 0A 0D 00 31 32 33 34 35 36 37 38")},
        IdentityRow {{"KV350-MIC", "V1.0", "1"}, "02 02 0D 55", hex("02 0A 0D 00 31 00 00 00 00 00 00 00")},
        IdentityRow {{"KV350-MIC-X", "V2.1", "1"}, "02 01 0E", hex("02 12 0E 00") + "KV350-MIC-X V2.1"},
        IdentityRow {{"kv350-lf", "V1.0", "1"}, "02 01 0E", hex("02 12 0E 00") + "kv350-lf    V1.0"},
        IdentityRow {{"KV350-A1    ", "V1.0", "1"}, "02 01 0E", hex("02 12 0E 00") + "KV350-A1    V1.0"},
        IdentityRow {{"", "", "1"}, "02 01 0E", hex("02 12 0E 00") + "                "},
        IdentityRow {{"KV350-MIC-X-LONG", "V10.22", "1"}, "02 01 0E", hex("02 12 0E 00") + "KV350-MIC-X-V10."}));
// clang-format on

// --- the other commands and the frame check ------------------------------------

struct ExchangeRow {
    const char *name;
    const char *request;
    const char *reply;  // nullptr: no reply
};
// Names the row in test output instead of dumping its bytes.
inline void PrintTo(const ExchangeRow &row, std::ostream *os)
{
    *os << row.name;
}

class Exchange : public ::testing::TestWithParam<ExchangeRow> {};

TEST_P(Exchange, FromFreshReader)
{
    VirtualReader reader;
    const std::vector<QByteArray> replies = reader.handle(hex(GetParam().request));
    if (!GetParam().reply) {
        EXPECT_TRUE(replies.empty());
    } else {
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies.front(), hex(GetParam().reply));
    }
    // Whatever it was, the reader saw these bytes.
    ASSERT_EQ(reader.requests().size(), 1u);
    EXPECT_EQ(reader.requests().front(), hex(GetParam().request));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Commands, Exchange,
    ::testing::Values(
        ExchangeRow {"systemUnknownData", "02 02 0F 03", "02 02 0F 01"},
        ExchangeRow {"systemBootLoader", "02 02 0F 0F", "02 02 0F 00"},
        ExchangeRow {"systemNoData", "02 01 0F", "02 02 0F 01"},
        ExchangeRow {"systemTwoBytes", "02 03 0F 01 02", "02 02 0F 01"},
        ExchangeRow {"readCardIdOtherData", "02 02 01 02", "02 02 01 01"},
        ExchangeRow {"runActionOtherData", "02 02 02 01", "02 02 02 01"},
        ExchangeRow {"userReadZeroed", "02 04 0C 00 F0 04", "02 06 0C 00 00 00 00 00"},
        ExchangeRow {"userReadLastByte", "02 04 0C 00 FF 01", "02 03 0C 00 00"},
        ExchangeRow {"userReadPastEnd", "02 04 0C 00 FF 02", "02 02 0C 01"},
        ExchangeRow {"userReadHighAddress", "02 04 0C 01 00 01", "02 02 0C 01"},
        ExchangeRow {"userReadZeroCount", "02 04 0C 00 00 00", "02 02 0C 01"},
        ExchangeRow {"userReadTooLongForLen", "02 04 0C 00 00 FE", "02 02 0C 01"},
        ExchangeRow {"userShortData", "02 03 0C 00 00", "02 02 0C 01"},
        ExchangeRow {"userWriteCountMismatch", "02 07 0C 00 00 04 01 02 03", "02 02 0C 01"},
        ExchangeRow {"userWritePastEnd", "02 06 0C 00 FF 02 01 02", "02 02 0C 01"},
        ExchangeRow {"userWriteLastByte", "02 05 0C 00 FF 01 99", "02 02 0C 00"},
        ExchangeRow {"unknownModulePassThroughNotYet", "02 01 00", "02 02 00 10"},
        ExchangeRow {"uidNoCard", "02 01 11", "02 02 11 01"},
        ExchangeRow {"unknownFF", "02 03 FF 01 02", "02 02 FF 10"},
        ExchangeRow {"empty", "", nullptr},
        ExchangeRow {"stxOnly", "02", nullptr},
        ExchangeRow {"lenZero", "02 00", nullptr},
        ExchangeRow {"noCmd", "02 01", nullptr},
        ExchangeRow {"noStx", "03 01 0D", nullptr},
        ExchangeRow {"lenTooLarge", "02 02 0D", nullptr},
        ExchangeRow {"lenTooSmall", "02 01 0D 00", nullptr}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(UserData, LongestFramesBothWays)
{
    VirtualReader reader;
    QByteArray data;
    for (int i = 0; i < 251; ++i)
        data.append(char(0xFF - i));
    const QByteArray request = hex("02 FF 0C 00 05 FB") + data;
    ASSERT_EQ(request.size(), 257);
    EXPECT_EQ(one(reader, request), hex("02 02 0C 00"));
    EXPECT_EQ(reader.userMemory().left(5), QByteArray(5, '\0'));
    EXPECT_EQ(reader.userMemory().mid(5), data);
    const QByteArray reply = one(reader, hex("02 04 0C 00 03 FD"));
    ASSERT_EQ(reply.size(), 257);
    EXPECT_EQ(reply, hex("02 FF 0C 00 00 00") + data.left(251));
}

// --- modules ----------------------------------------------------------------

namespace {

class FixedModule final : public ReaderModule {
public:
    FixedModule(std::uint8_t cmd, std::vector<QByteArray> replies) : m_cmd(cmd), m_replies(std::move(replies)) {}
    bool handles(std::uint8_t cmd) const override { return cmd == m_cmd; }
    std::vector<QByteArray> handle(const Request &, ReaderContext &) override { return m_replies; }
    void restoreFactoryDefaults() override { ++resets; }
    int resets = 0;

private:
    std::uint8_t m_cmd;
    std::vector<QByteArray> m_replies;
};

}  // namespace

TEST(Modules, LaterModuleTakesOverACommand)
{
    VirtualReader reader;
    auto module = std::make_unique<FixedModule>(
        0x01, std::vector<QByteArray>{hex("02 06 01 00 AA BB CC DD"), hex("02 02 01 00")});
    FixedModule *card = module.get();
    reader.addModule(std::move(module));
    const std::vector<QByteArray> replies = reader.handle(hex("02 02 01 01"));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], hex("02 06 01 00 AA BB CC DD"));
    EXPECT_EQ(replies[1], hex("02 02 01 00"));
    // The basic command it did not take over still answers.
    EXPECT_EQ(one(reader, hex("02 02 02 02")), hex("02 02 02 00"));
    one(reader, hex("02 02 0F 02"));
    EXPECT_EQ(card->resets, 1);
}

// --- the command set of each model's hardware ---------------------------------

// Written out here, not taken from the model table: A = ISO 14443A (MIFARE,
// NTAG), I = ISO 15693, L = LF, T = UHF tags, R = the radio's test modes.
TEST(ModelCommands, EachModelAnswersTheCommandsOfItsHardwareAndNoOthers)
{
    const struct {
        const char *model;
        const char *has;
    } models[] = {
        {"KV350-M1", "A"},
        {"KV350-U1", "T"},
        {"KV350-MIC", "AI"},
        {"KV350-IC", "I"},
        {"KV350-LF", "L"},
        {"KV350-MIC-X", "AIR"},
        {"KV350-LF-X", "LR"},
        {"KV350-A1", ""},
        // A model no reader is has what every reader has, and nothing more.
        {"kv350-mic", ""},
    };
    const QByteArray unknown = hex("02 02 00 10");
    for (const auto &m : models) {
        SCOPED_TRACE(m.model);
        const QByteArray has(m.has);
        VirtualReader reader(model(m.model));
        auto known = [&](const QByteArray &request) {
            const QByteArray reply = one(reader, request);
            return reply.size() >= 4 && quint8(reply[3]) != 0x10;
        };
        auto keeps = [&](std::uint8_t code) { return one(reader, paramRequest(code)) != paramFailed; };

        // What every reader answers.
        for (const char *request : {"02 02 01 01", "02 02 02 02", "02 01 0D", "02 01 0E", "02 04 0C 00 00 01"})
            EXPECT_TRUE(known(hex(request))) << request;
        for (std::uint8_t code : {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07})
            EXPECT_TRUE(keeps(code)) << int(code);

        // ISO 14443A: UID, key store, NTAG and MIFARE blocks, the MIFARE ID location.
        for (const char *request : {"02 01 11", "02 09 12 60 FF FF FF FF FF FF 01", "02 04 13 00 00 07",
                                    "02 0A 15 60 FF FF FF FF FF FF 01 00", "02 03 16 01 00"})
            EXPECT_EQ(known(hex(request)), has.contains('A')) << request;
        EXPECT_EQ(keeps(0x11), has.contains('A'));
        // ISO 15693: inventory, blocks, system information, its ID block and the card types.
        for (const char *request : {"02 01 21", "02 02 22 00", "02 06 23 00 00 00 00 00", "02 01 24"})
            EXPECT_EQ(known(hex(request)), has.contains('I')) << request;
        EXPECT_EQ(keeps(0x21), has.contains('I'));
        EXPECT_EQ(keeps(0x23), has.contains('I'));
        // LF: the LF card types.
        EXPECT_EQ(keeps(0x31), has.contains('L'));
        // UHF: the automatic EPC reading; the module's tag and radio texts.
        EXPECT_EQ(keeps(0x41), has.contains('T'));
        const QByteArray tagAnswer = one(reader, frame(0x00, "R1,2,4"));
        const QByteArray radioAnswer = one(reader, frame(0x00, "x02"));
        if (!has.contains('T') && !has.contains('R')) {
            EXPECT_EQ(tagAnswer, unknown);
            EXPECT_EQ(radioAnswer, unknown);
        } else {
            EXPECT_EQ(tagAnswer.contains("NOTAG"), has.contains('T')) << tagAnswer.toHex().constData();
            EXPECT_EQ(radioAnswer.contains("OK"), has.contains('R')) << radioAnswer.toHex().constData();
        }
    }
}

TEST(ModelCommands, ACommandTheModelLacksChangesNothing)
{
    // A KV350-LF given the MIC card type and a MIFARE key keeps neither.
    VirtualReader reader(model("KV350-LF"));
    EXPECT_EQ(one(reader, paramRequest(0x23, hex("07"))), paramFailed);
    EXPECT_EQ(one(reader, hex("02 09 12 60 11 22 33 44 55 66 01")), hex("02 02 12 10"));
    EXPECT_NE(reader.storedKey(1, 0x60), hex("112233445566"));
    reader.setModel("KV350-MIC");
    EXPECT_EQ(one(reader, paramRequest(0x23)), paramReply(0x23, hex("03"))) << "the factory value is still there";
}
