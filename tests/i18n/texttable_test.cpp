// The text table as data: complete, encodable in the national code pages, and
// unambiguous as a lookup by English text.
#include "i18n/texttable.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace kv350::i18n;

namespace {

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

// True when every character has a code in the code page: encoding must not
// flag an error and decoding must give the text back (no silent substitute).
bool encodable(const char *codePage, const QString &text)
{
    QStringEncoder encoder(codePage, QStringConverter::Flag::Stateless);
    QStringDecoder decoder(codePage, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    const QString back = decoder.decode(bytes);
    return !encoder.hasError() && !decoder.hasError() && back == text;
}

// The Command page's rule: one byte per three characters, a lone trailing one ignored.
int hexByteCount(const QString &data)
{
    int n = 0;
    for (qsizetype k = 0; k < data.size() - 1; k += 3)
        ++n;
    return n;
}

}  // namespace

TEST(TextTable, CodePagesAreAvailable)
{
    ASSERT_TRUE(QStringEncoder("GB2312").isValid());
    ASSERT_TRUE(QStringEncoder("Big5").isValid());
    // The check below must be able to fail.
    EXPECT_FALSE(encodable("GB2312", u("設定")));
    EXPECT_FALSE(encodable("Big5", u("设定")));
}

TEST(TextTable, EveryColumnIsFilledAndEnglishIsPrintableAscii)
{
    for (const Triplet &t : textTable()) {
        SCOPED_TRACE(t.english ? t.english : "(null)");
        ASSERT_TRUE(t.english && t.simplified && t.traditional);
        EXPECT_STRNE(t.english, "");
        EXPECT_STRNE(t.simplified, "");
        EXPECT_STRNE(t.traditional, "");
        for (const char *c = t.english; *c; ++c)
            EXPECT_TRUE(*c >= 0x20 && *c < 0x7F) << "byte " << int(static_cast<unsigned char>(*c));
    }
}

TEST(TextTable, ChineseColumnsFitTheirCodePages)
{
    std::vector<Triplet> all(textTable().begin(), textTable().end());
    all.insert(all.end(), addedTexts().begin(), addedTexts().end());
    for (const Triplet &t : all) {
        SCOPED_TRACE(t.english);
        const QString simplified = u(t.simplified), traditional = u(t.traditional);
        EXPECT_TRUE(encodable("GB2312", simplified)) << simplified.toStdString();
        EXPECT_TRUE(encodable("Big5", traditional)) << traditional.toStdString();
        // A '?' or U+FFFD is what a failed code-page conversion leaves behind.
        for (const QString &text : {simplified, traditional}) {
            EXPECT_FALSE(text.contains(u'?')) << text.toStdString();
            EXPECT_FALSE(text.contains(QChar::ReplacementCharacter)) << text.toStdString();
        }
    }
}

TEST(TextTable, RepeatedEnglishTextsTranslateAlikeUnlessTheyCarryAContext)
{
    QHash<QString, const Triplet *> first;
    QSet<QString> contextKeys;
    for (const Triplet &t : textTable()) {
        SCOPED_TRACE(t.english);
        if (t.context) {
            const QString key = u(t.context) + u'\n' + u(t.english);
            EXPECT_FALSE(contextKeys.contains(key)) << "context repeated";
            contextKeys.insert(key);
        }
        const Triplet *earlier = first.value(u(t.english));
        if (!earlier) {
            first.insert(u(t.english), &t);
            continue;
        }
        const bool same = !qstrcmp(earlier->simplified, t.simplified) && !qstrcmp(earlier->traditional, t.traditional);
        if (!same) {
            // Two readings of one English text: each must be reachable by its context.
            EXPECT_TRUE(earlier->context && t.context);
        }
    }
    EXPECT_EQ(first.size(), 142);  // 156 rows, 14 of them repeat an earlier English text
}

TEST(TextTable, SpotTriplets)
{
    const struct {
        const char *english, *simplified, *traditional;
    } rows[] = {
        {"Command Done.", "指令完成。", "指令完成。"},
        {"Command Error!", "指令错误！", "指令錯誤！"},
        {"Connected", "已连线", "已連線"},
        {"USB Auto", "USB 自动", "USB 自動"},
        {"Set Auto Read NFC NTAG203/Ultralight", "设定自动读取 NFC NTAG203/Ultralight",
         "設定自動讀取 NFC NTAG203/Ultralight"},
        {"&English", "&Simplified chinese(简体)", "&Traditional chinese(繁體)"},
        {"Supported reader: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1 .",
         "本软体支援: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1。",
         "本軟體支援: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1。"},
        {"Note: Update firmware may cause the device crash! If not necessary, Please do NOT update firmware.",
         "注意：更新产品韧体有可能会导致装置故障，如非必要请勿更新。",
         "注意：更新產品韌體有可能會導致裝置故障，如非必要請勿更新。"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.english);
        const auto table = textTable();
        const auto it = std::find_if(table.begin(), table.end(),
                                     [&](const Triplet &t) { return !qstrcmp(t.english, r.english); });
        ASSERT_NE(it, table.end());
        EXPECT_STREQ(it->simplified, r.simplified);
        EXPECT_STREQ(it->traditional, r.traditional);
    }
}

TEST(TextTable, KeepsItsOrder)
{
    const auto table = textTable();
    EXPECT_STREQ(table[0].english, "KV350 Tools V0182");
    EXPECT_STREQ(table[7].english, "Command Error!");
    EXPECT_STREQ(table[146].english, "Select Request Sample List");
    EXPECT_STREQ(table[TripletCount - 1].english, "[0F][02] Use Default");
}

TEST(RequestSamples, NamesAreTheLastNineTripletsInListOrder)
{
    const auto table = textTable();
    for (int i = 0; i < RequestSampleCount; ++i) {
        const Triplet &t = table[TripletCount - RequestSampleCount + i];
        SCOPED_TRACE(t.english);
        EXPECT_STREQ(requestSamples()[i].name, t.english);
        // The translations keep the bracketed command codes.
        const QString code = u(t.english).left(u(t.english).lastIndexOf(u']') + 1);
        EXPECT_TRUE(u(t.simplified).startsWith(code + u' '));
        EXPECT_TRUE(u(t.traditional).startsWith(code + u' '));
    }
}

TEST(RequestSamples, FieldsAreExactAndLenCountsCmdPlusData)
{
    // clang-format off
    const struct {
        int index;
        const char *len, *cmd, *data;
    } rows[] = {
        {0, "02", "01", "01"},
        {1, "02", "02", "02 "},
        {4, "0C", "0C", "00 00 08 01 23 45 67 89 AB CD EF "},
        {5, "01", "0D", ""},
        {8, "02", "0F", "02"},
    };
    // clang-format on
    for (const auto &r : rows) {
        const RequestSample &s = requestSamples()[r.index];
        SCOPED_TRACE(s.name);
        EXPECT_STREQ(s.len, r.len);
        EXPECT_STREQ(s.cmd, r.cmd);
        EXPECT_STREQ(s.data, r.data);
    }
    for (const RequestSample &s : requestSamples()) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(QString::fromLatin1(s.len).toInt(nullptr, 16), hexByteCount(QString::fromLatin1(s.data)) + 1);
    }
}

TEST(TextTable, AddedTextsAreNewAndKeepTheirPlaceholders)
{
    QSet<QString> table;
    for (const Triplet &t : textTable())
        table.insert(u(t.english));
    for (const Triplet &t : addedTexts()) {
        SCOPED_TRACE(t.english);
        EXPECT_FALSE(table.contains(u(t.english))) << "an added text must not shadow the reader's own";
        for (const QString &mark : {QStringLiteral("%1"), QStringLiteral("%2"), QStringLiteral("%3")}) {
            const bool placeholder = u(t.english).contains(mark);
            EXPECT_EQ(u(t.simplified).contains(mark), placeholder) << mark.toStdString();
            EXPECT_EQ(u(t.traditional).contains(mark), placeholder) << mark.toStdString();
        }
    }
}
