// The parameter table: every code of command 0x03 a row, its bytes as the
// reader keeps them (the virtual reader's own table is the other side), and
// the values a file names, read back and refused with the setting named.
#include "link/models.h"
#include "link/parameters.h"
#include "sim/core/parameterstore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <set>

using namespace kv350;

namespace {

QByteArray bytes(const char *hexText)
{
    return QByteArray::fromHex(hexText);
}

QJsonValue json(const char *text)
{
    // A value inside an object, since a document cannot hold a bare number or string.
    return QJsonDocument::fromJson(QByteArray("{\"v\":") + text + "}").object().value("v");
}

const ParameterInfo &row(std::uint8_t code)
{
    return parameterInfo(code);
}

}  // namespace

TEST(ParameterTable, EveryCodeIsARowOfTheWidthTheReaderKeeps)
{
    const std::uint8_t codes[] = {proto::ParUsbMode,        proto::ParReadMode,         proto::ParIdFormat,
                                  proto::ParScanTime,       proto::ParSameCardTime,     proto::ParKeypadDelay,
                                  proto::ParKeyboardLayout, proto::ParMifareIdLocation, proto::ParIso15693IdBlock,
                                  proto::ParMicCardType,    proto::ParLfCardType,       proto::ParAutoEpc};
    ASSERT_EQ(parameters().size(), std::size(codes));
    std::set<QString> names;
    for (std::uint8_t code : codes) {
        const ParameterInfo *info = findParameter(code);
        ASSERT_NE(info, nullptr) << int(code);
        EXPECT_TRUE(names.insert(QLatin1String(info->name)).second) << info->name;
        EXPECT_EQ(findParameter(QLatin1String(info->name)), info);
        // The virtual reader is the other side of the wire: its table was written apart.
        ASSERT_NE(sim::ParameterStore::find(code), nullptr) << info->name;
        EXPECT_EQ(info->width, sim::ParameterStore::find(code)->width) << info->name;
    }
    EXPECT_EQ(findParameter(std::uint8_t(0x08)), nullptr);
    EXPECT_EQ(findParameter(QStringLiteral("scantime")), nullptr) << "names compare exactly";
}

TEST(ParameterTable, ValuesGoOnTheWireAsThePagesSendThem)
{
    const IdLocation location{
        .sector = 2, .block = 1, .start = 3, .byte = 7, .keyA = false, .keyError = 3, .ntag = true};
    EXPECT_EQ(encodeParameter(row(proto::ParMifareIdLocation), location), bytes("02010307610301"));
    // Any non-zero card type reads as NTAG, and a key byte other than 60 as key B.
    EXPECT_EQ(std::get<IdLocation>(decodeParameter(row(proto::ParMifareIdLocation), bytes("0A030004620105"))),
              (IdLocation{10, 3, 0, 4, false, 1, true}));
    EXPECT_EQ(encodeParameter(row(proto::ParKeyboardLayout), KeyboardLayout{-1}), bytes("FF00"))
        << "no layout chosen, with the 00 behind it";
    EXPECT_EQ(std::get<KeyboardLayout>(decodeParameter(row(proto::ParKeyboardLayout), bytes("0300"))).index, -1);
    EXPECT_EQ(encodeParameter(row(proto::ParAutoEpc), AutoEpcSetting{EpcBank::Tid, 0x1FF, 10}), bytes("01FF0A"))
        << "the address has one byte";
    EXPECT_EQ(std::get<AutoEpcSetting>(decodeParameter(row(proto::ParAutoEpc), bytes("030206"))).bank, EpcBank::Epc);
    EXPECT_EQ(encodeParameter(row(proto::ParIso15693IdBlock), IsoIdLocation{63, 3, 8}), bytes("3F0308"));
    EXPECT_EQ(encodeParameter(row(proto::ParLfCardType), CardTypes{0x09}), bytes("09"));
    EXPECT_EQ(encodeParameter(row(proto::ParReadMode), decodeReadMode(0xFF)), bytes("BF")) << "bit 6 is not kept";
    // Only the automatic EPC read takes exactly its own reply, from a limit of 8 bytes.
    for (const ParameterInfo &p : parameters()) {
        EXPECT_EQ(p.exactReply, p.code == proto::ParAutoEpc) << p.name;
        EXPECT_EQ(p.replyLimit, p.code == proto::ParAutoEpc ? 8 : 64) << p.name;
    }
}

TEST(ParameterTable, AFileNamesTheFactoryValuesInWordsAndReadsThemBack)
{
    struct Row {
        std::uint8_t code;
        const char *json;
    } rows[] = {
        {proto::ParUsbMode, "1"},
        {proto::ParReadMode, R"(["auto","beep","led","same-card","energy-saving"])"},
        {proto::ParIdFormat, R"({"format":"8H","keys":["enter"],"options":[]})"},
        {proto::ParScanTime, "50"},
        {proto::ParSameCardTime, "1500"},
        {proto::ParKeypadDelay, "10"},
        {proto::ParKeyboardLayout, R"("ENGLISH")"},
        {proto::ParMifareIdLocation,
         R"({"block":0,"byte":4,"card":"mifare-classic","key":"A","keyError":"LED","sector":0,"start":0})"},
        {proto::ParIso15693IdBlock, R"({"block":0,"byte":4,"start":0})"},
        {proto::ParMicCardType, R"(["iso15693","iso14443a"])"},
        {proto::ParLfCardType, R"(["em"])"},
        {proto::ParAutoEpc, R"({"address":2,"bank":"epc","length":6})"},
    };
    for (const Row &r : rows) {
        const ParameterInfo &info = row(r.code);
        const QByteArray factory = sim::ParameterStore::factoryValue(r.code, "KV350-M1");
        const QJsonValue named = parameterToJson(info, decodeParameter(info, factory));
        const QJsonValue want = json(r.json);
        EXPECT_EQ(named, want) << info.name << ": "
                               << QJsonDocument(QJsonObject{{"v", named}}).toJson(QJsonDocument::Compact).constData();
        QString why;
        const auto back = parameterFromJson(info, want, &why);
        ASSERT_TRUE(back.has_value()) << info.name << ": " << why.toStdString();
        EXPECT_EQ(encodeParameter(info, *back), factory) << info.name << ": the same bytes go back";
    }
}

TEST(ParameterTable, AValueAFileCannotHoldIsRefusedWithTheSettingNamed)
{
    struct Row {
        std::uint8_t code;
        const char *json;
        const char *why;  // part of the reason
    } rows[] = {
        {proto::ParScanTime, "55",
         "scanTime: 55 is not allowed; it takes a whole number from 0 to 2550 in steps of 10"},
        {proto::ParScanTime, "2560", "from 0 to 2550"},
        {proto::ParScanTime, "1e20", "scanTime: 1e+20 is not allowed"},
        {proto::ParScanTime, "-1e300", "scanTime: -1e+300 is not allowed"},
        {proto::ParKeypadDelay, R"("10")", "keypadDelay: \"10\" is not allowed"},
        {proto::ParKeypadDelay, "1.5", "keypadDelay: 1.5"},
        {proto::ParUsbMode, "0", "usbMode: 0 is not allowed; it takes a whole number from 1 to 3"},
        {proto::ParKeyboardLayout, R"("english")", "one of ENGLISH, CZECH, FRENCH"},
        {proto::ParReadMode, R"(["auto","turbo"])", "readMode: \"turbo\" is not allowed; it takes a list of names"},
        {proto::ParLfCardType, R"("em")",
         "lfCardTypes: \"em\" is not allowed; it takes a list of names from em, vanto"},
        {proto::ParIdFormat, R"({"format":"9X"})", "idFormat.format: \"9X\" is not allowed; it takes one of 14H"},
        {proto::ParIdFormat, R"({"options":[]})", "idFormat: the field \"format\" is missing"},
        {proto::ParIdFormat, R"({"format":"8H","colour":1})", "idFormat: unknown field \"colour\""},
        {proto::ParMifareIdLocation,
         R"({"block":4,"byte":4,"card":"mifare-classic","key":"A","keyError":"LED","sector":2,"start":0})",
         "idLocation.block: 4 is not allowed; it takes a whole number from 0 to 3"},
        {proto::ParMifareIdLocation,
         R"({"block":4,"byte":4,"card":"mifare-classic","key":"C","keyError":"LED","sector":33,"start":0})",
         "idLocation.key: \"C\""},
        {proto::ParIso15693IdBlock, R"({"block":64,"byte":4,"start":0})", "iso15693IdLocation.block: 64"},
        {proto::ParAutoEpc, R"({"address":2,"bank":"epc","length":0})", "autoEpc.length: 0"},
        {proto::ParAutoEpc, "[]", "autoEpc: a list is not allowed; it takes an object with bank, address, length"},
    };
    for (const Row &r : rows) {
        QString why;
        EXPECT_FALSE(parameterFromJson(row(r.code), json(r.json), &why).has_value()) << r.json;
        EXPECT_TRUE(why.contains(QLatin1String(r.why))) << r.json << " -> " << why.toStdString();
    }
    // Sixteen blocks in the sectors from 32 on.
    QString why;
    EXPECT_TRUE(parameterFromJson(row(proto::ParMifareIdLocation),
                                  json(R"({"block":15,"byte":4,"card":"ntag","key":"B","keyError":"None","sector":33,)"
                                       R"("start":0})"),
                                  &why)
                    .has_value())
        << why.toStdString();
}

TEST(ParameterTable, AModelHasTheSettingsOfThePagesItShows)
{
    // The page that holds each setting a model may lack; the rest are on the Common page.
    const std::pair<std::uint8_t, unsigned> pageOf[] = {
        {proto::ParMifareIdLocation, FeatureAutoPage}, {proto::ParIso15693IdBlock, FeatureIso15693Page},
        {proto::ParMicCardType, FeatureIso15693Page},  {proto::ParLfCardType, FeatureLfPage},
        {proto::ParAutoEpc, FeatureEpcPage},
    };
    for (const ModelInfo &m : modelTable()) {
        const unsigned shown = applyModelRules(QLatin1String(m.name)).shown;
        int count = 0;
        for (const ParameterInfo &p : parameters()) {
            count += modelHasParameter(&m, p) ? 1 : 0;
            unsigned page = 0;
            for (const auto &[code, feature] : pageOf)
                if (code == p.code)
                    page = feature;
            EXPECT_EQ(modelHasParameter(&m, p), page == 0 || (shown & page) != 0) << m.name << " " << p.name;
        }
        EXPECT_GE(count, 7) << m.name << ": the seven of the Common page at least";
    }
    // A model this tool does not know has the Common page's.
    EXPECT_TRUE(modelHasParameter(nullptr, row(proto::ParScanTime)));
    EXPECT_FALSE(modelHasParameter(nullptr, row(proto::ParLfCardType)));
}
