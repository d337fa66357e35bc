// Reader profiles: the file refused before anything is sent, the comparison,
// and the apply with its read-back against the virtual reader.
#include "settings/profile.h"

#include "readerlinkrig.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv350;
using namespace kv350::settings;

namespace {

QByteArray profileText(const QByteArray &settings, const QByteArray &extra = {})
{
    return "{\"format\": \"kv350-profile\", \"version\": 1, " + extra + "\"settings\": {" + settings + "}}";
}

ProfileError refusal(const QByteArray &bytes)
{
    ProfileError error;
    EXPECT_EQ(parseProfile(bytes, &error), std::nullopt) << bytes.constData();
    return error;
}

// Only the requests that read (02 02 03 code) or write a setting.
std::vector<QByteArray> parameterFrames(const sim::VirtualReader &reader)
{
    std::vector<QByteArray> frames;
    for (const QByteArray &r : reader.requests())
        if (r.size() >= 4 && std::uint8_t(r[2]) == proto::CmdParameter)
            frames.push_back(r.toHex(' '));
    return frames;
}

struct ProfileRig : VirtualReaderLink {
    ProfileRig() : VirtualReaderLink(sim::Identity{"KV350-MIC", "V2.1", "00001234"})
    {
        EXPECT_TRUE(link.ConnectReader());
        reader.clearRequests();
    }
    Profile parsed(const QByteArray &settings, const QByteArray &extra = {})
    {
        ProfileError error;
        const std::optional<Profile> p = parseProfile(profileText(settings, extra), &error);
        EXPECT_TRUE(p) << error.message.toStdString();
        return p.value_or(Profile{});
    }
};

}  // namespace

TEST(ProfileFile, ReadsTypedValuesInTableOrder)
{
    ProfileError error;
    const auto p = parseProfile(profileText(R"("lfCardTypes": ["em", "hid"], "scanTime": 120,
        "idFormat": {"format": "10H", "options": ["reverse-byte"], "keys": ["tab", "enter"]})",
                                            R"("model": "KV350-LF-X", "minimumFirmware": "V1.2", )"),
                                &error);
    ASSERT_TRUE(p) << error.message.toStdString();
    EXPECT_EQ(p->model, "KV350-LF-X");
    EXPECT_EQ(p->minimumFirmware, "V1.2");
    EXPECT_FALSE(p->source);
    ASSERT_EQ(p->settings.size(), 3u);
    EXPECT_EQ(p->settings[0].info->code, proto::ParIdFormat);
    EXPECT_EQ(encodeParameter(*p->settings[0].info, p->settings[0].value).toHex(), "070390")
        << "10H, reverse-byte (and bit 0), tab and enter";
    EXPECT_EQ(p->settings[1].value, ParameterValue(Interval{12}));
    EXPECT_EQ(p->settings[2].info->code, proto::ParLfCardType);
}

TEST(ProfileFile, RefusesWithWhereItFails)
{
    // Not JSON: the place is given as line, column and byte.
    ProfileError e = refusal(
        "{\"format\": \"kv350-profile\",\n  \"version\": 1,\n  \"settings\": {\"scanTime\": 50,}}");
    EXPECT_GE(e.offset, 40);
    EXPECT_TRUE(e.message.contains("line 3")) << e.message.toStdString();

    // A text cut off at the end of the file: the place named is the end, not beyond it.
    const QByteArray cut = "{\"format\": \"kv350-profile\", \"settings\": {\"scanTi";
    e = refusal(cut);
    EXPECT_EQ(e.offset, cut.size());
    EXPECT_TRUE(e.message.endsWith(QStringLiteral("(byte %1)").arg(cut.size()))) << e.message.toStdString();

    e = refusal(profileText("\"scanTime\": 55"));
    EXPECT_EQ(e.setting, "scanTime");
    EXPECT_EQ(e.message, "scanTime: 55 is not allowed; it takes a whole number from 0 to 2550 in steps of 10");

    e = refusal(profileText("\"scanTime\": \"50\""));
    EXPECT_EQ(e.setting, "scanTime") << "a number written as text is the wrong type";

    e = refusal(profileText("\"scantime\": 50"));
    EXPECT_EQ(e.setting, "scantime");
    EXPECT_TRUE(e.message.contains("unknown setting \"scantime\"")) << e.message.toStdString();
    EXPECT_TRUE(e.message.contains("scanTime, sameCardTime")) << "the names allowed are listed";

    e = refusal(profileText("\"idLocation\": {\"card\": \"ntag\", \"colour\": 1}"));
    EXPECT_EQ(e.setting, "idLocation");

    e = refusal(profileText("\"scanTime\": 50", "\"colour\": \"red\", "));
    EXPECT_EQ(e.setting, "colour");

    e = refusal(
        profileText("\"autoEpc\": {\"bank\": \"tid\", \"address\": 0, \"length\": 4}", "\"model\": \"KV350-LF\", "));
    EXPECT_EQ(e.setting, "autoEpc");
    EXPECT_TRUE(e.message.contains("KV350-LF has no such setting")) << e.message.toStdString();

    EXPECT_EQ(refusal(profileText("\"scanTime\": 50", "\"model\": \"KV350-Z9\", ")).setting, "model");
    EXPECT_EQ(refusal(profileText("\"scanTime\": 50", "\"minimumFirmware\": \"new\", ")).setting, "minimumFirmware");
    EXPECT_EQ(refusal(profileText("\"scanTime\": 50", "\"source\": {\"by\": \"me\"}, ")).setting, "source");
    EXPECT_EQ(refusal(profileText("")).setting, "settings") << "a profile that sets nothing is refused";
    EXPECT_EQ(refusal("[]").setting, "");
    EXPECT_EQ(refusal("{\"blocks\": [], \"format\": \"kv350-dump\"}").setting, "format")
        << "another kind of file is named as such, not by its first strange key";
    EXPECT_EQ(refusal("{\"format\": \"kv350-dump\", \"version\": 1, \"settings\": {}}").setting, "format");
    e = refusal("{\"format\": \"kv350-profile\", \"version\": 2, \"settings\": {\"scanTime\": 50}}");
    EXPECT_EQ(e.setting, "version");
    EXPECT_TRUE(e.message.contains("newer")) << e.message.toStdString();
    EXPECT_EQ(refusal(QByteArray(2 << 20, ' ')).setting, "") << "far too large to be a profile";
}

TEST(ProfileFile, SavedFileReadsBackTheSame)
{
    Profile p;
    p.model = "KV350-MIC";
    p.source = ProfileSource{"0000\"12", "V2.1", "2026-12-09T04:00:00Z"};
    p.settings.push_back({&parameterInfo(proto::ParReadMode), ReadMode{.autoRead = true, .beep = true}});
    p.settings.push_back({&parameterInfo(proto::ParScanTime), Interval{12}});
    p.settings.push_back({&parameterInfo(proto::ParKeyboardLayout), KeyboardLayout{2}});
    p.settings.push_back({&parameterInfo(proto::ParMicCardType), CardTypes{0x03}});

    const QByteArray text = profileToJson(p);
    EXPECT_LT(text.indexOf("readMode"), text.indexOf("scanTime")) << "the table's order, not sorted";
    EXPECT_TRUE(text.contains("\"scanTime\": 120")) << text.constData();
    EXPECT_TRUE(text.contains("\"keyboardLayout\": \"FRENCH\""));

    QTemporaryDir dir;
    const QString path = dir.filePath("p.json");
    QString why;
    ASSERT_TRUE(writeProfileFile(path, p, &why)) << why.toStdString();
    ProfileError error;
    const auto back = readProfileFile(path, &error);
    ASSERT_TRUE(back) << error.message.toStdString();
    EXPECT_EQ(back->model, p.model);
    EXPECT_EQ(back->source, p.source);
    ASSERT_EQ(back->settings.size(), p.settings.size());
    for (size_t i = 0; i < p.settings.size(); ++i) {
        EXPECT_EQ(back->settings[i].info, p.settings[i].info);
        EXPECT_EQ(back->settings[i].value, p.settings[i].value) << p.settings[i].info->name;
    }

    EXPECT_FALSE(writeProfileFile(dir.filePath("no/such/dir/p.json"), p, &why));
    EXPECT_TRUE(why.contains("no/such/dir")) << why.toStdString();
    EXPECT_FALSE(readProfileFile(dir.filePath("missing.json"), &error));
    EXPECT_TRUE(error.message.contains("missing.json"));
}

TEST(ProfileCheck, ModelFirmwareAndSettingsOfTheReader)
{
    EXPECT_EQ(compareVersions("V1.10", "V1.9"), 1);
    EXPECT_EQ(compareVersions("V1.0", "1"), 0);
    EXPECT_EQ(compareVersions("V0.9", "V1.0"), -1);
    EXPECT_EQ(compareVersions("beta", "V1.0"), std::nullopt);

    Profile p;
    p.settings.push_back({&parameterInfo(proto::ParLfCardType), CardTypes{0x01}});
    p.settings.push_back({&parameterInfo(proto::ParScanTime), Interval{5}});
    EXPECT_EQ(checkProfile(p, "KV350-LF", "V1.0"), QStringList{});
    const QStringList problems = checkProfile(p, "KV350-M1", "V1.0");
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith("lfCardTypes: a KV350-M1 has no such setting")) << problems[0].toStdString();

    p.model = "KV350-LF";
    p.minimumFirmware = "V1.2";
    EXPECT_EQ(checkProfile(p, "KV350-LF", "V1.10"), QStringList{});
    EXPECT_EQ(checkProfile(p, "KV350-LF", "V1.1").size(), 1);
    EXPECT_EQ(checkProfile(p, "KV350-LF-X", "V1.2").size(), 1) << "a profile for one model fits no other";
}

TEST(ProfileApply, WritesOnlyWhatDiffersAndReadsEachBack)
{
    ProfileRig rig;
    rig.reader.parameters().set(proto::ParScanTime, QByteArray::fromHex("05"));
    rig.reader.parameters().set(proto::ParKeypadDelay, QByteArray::fromHex("0A"));
    const Profile p = rig.parsed(R"("scanTime": 120, "keypadDelay": 10, "micCardTypes": ["iso14443b"])");

    const ProfileRun run = runProfile(rig.link, p, false);
    EXPECT_TRUE(run.ok()) << run.failureText().toStdString();
    // Three reads, then a write and a read-back for each of the two that differ.
    const std::vector<QByteArray> expected{"02 02 03 04", "02 02 03 06",    "02 02 03 23", "02 03 03 04 0c",
                                           "02 02 03 04", "02 03 03 23 04", "02 02 03 23"};
    EXPECT_EQ(parameterFrames(rig.reader), expected);
    EXPECT_EQ(rig.reader.parameters().value(proto::ParScanTime), QByteArray::fromHex("0C"));
    EXPECT_EQ(rig.reader.parameters().value(proto::ParMicCardType), QByteArray::fromHex("04"));
    ASSERT_EQ(run.applied.size(), 3u);
    EXPECT_EQ(run.applied[0].outcome, SettingOutcome::Ok);
    EXPECT_EQ(run.applied[1].outcome, SettingOutcome::Unchanged);
    EXPECT_EQ(run.applied[2].outcome, SettingOutcome::Ok);

    // Applied again, the reader matches: reads only.
    rig.reader.clearRequests();
    const ProfileRun again = runProfile(rig.link, p, false);
    EXPECT_TRUE(again.ok());
    EXPECT_FALSE(anyDifference(again.changes));
    EXPECT_EQ(parameterFrames(rig.reader).size(), 3u);
}

TEST(ProfileApply, DryRunAndRefusedProfilesSendNoWrite)
{
    ProfileRig rig;
    const QByteArray before = rig.reader.parameters().value(proto::ParScanTime);
    const ProfileRun dry = runProfile(rig.link, rig.parsed("\"scanTime\": 2550"), true);
    EXPECT_TRUE(dry.ok());
    EXPECT_TRUE(anyDifference(dry.changes));
    EXPECT_TRUE(dry.applied.empty());
    EXPECT_EQ(parameterFrames(rig.reader), std::vector<QByteArray>{"02 02 03 04"});
    EXPECT_EQ(rig.reader.parameters().value(proto::ParScanTime), before);

    // A setting the MIC lacks, and a profile for another model: not a frame.
    rig.reader.clearRequests();
    const ProfileRun lf = runProfile(rig.link, rig.parsed("\"scanTime\": 100, \"lfCardTypes\": [\"em\"]"), false);
    EXPECT_EQ(lf.step, ProfileRun::Step::Check);
    EXPECT_TRUE(lf.failureText().startsWith("lfCardTypes:")) << lf.failureText().toStdString();
    const ProfileRun other = runProfile(rig.link, rig.parsed("\"scanTime\": 100", "\"model\": \"KV350-M1\", "), false);
    EXPECT_EQ(other.step, ProfileRun::Step::Check);
    const ProfileRun newer = runProfile(rig.link, rig.parsed("\"scanTime\": 100", "\"minimumFirmware\": \"V2.2\", "),
                                        false);
    EXPECT_EQ(newer.step, ProfileRun::Step::Check);
    EXPECT_TRUE(rig.reader.requests().empty());
}

TEST(ProfileApply, ReadBackThatDiffersIsNamed)
{
    ProfileRig rig;
    // This reader keeps the same-card time at most 5000 ms whatever it is sent.
    rig.reader.setAcceptFilter(proto::ParSameCardTime, [](const QByteArray &requested, const QByteArray &) {
        return QByteArray(1, char(std::min<std::uint8_t>(std::uint8_t(requested[0]), 50)));
    });
    const ProfileRun run = runProfile(rig.link, rig.parsed("\"scanTime\": 100, \"sameCardTime\": 9000"), false);
    EXPECT_FALSE(run.ok());
    EXPECT_EQ(run.step, ProfileRun::Step::Apply);
    EXPECT_EQ(run.failedSetting(), &parameterInfo(proto::ParSameCardTime));
    EXPECT_EQ(run.applied[0].outcome, SettingOutcome::Ok);
    EXPECT_EQ(run.applied[1].outcome, SettingOutcome::Differs);
    EXPECT_EQ(run.failureText(), "sameCardTime: differs (read back 5000 after writing 9000)");
}

TEST(ProfileApply, ReaderLostWhileApplyingLeavesTheRestUntried)
{
    ProfileRig rig;
    // The reader takes the scan time and is pulled out before it answers.
    rig.reader.setAcceptFilter(proto::ParScanTime, [&rig](const QByteArray &requested, const QByteArray &) {
        rig.hid.unplug();
        return requested;
    });
    const ProfileRun run = runProfile(
        rig.link, rig.parsed("\"scanTime\": 100, \"sameCardTime\": 9000, \"keypadDelay\": 200"), false);
    EXPECT_FALSE(run.ok());
    ASSERT_EQ(run.applied.size(), 3u);
    EXPECT_EQ(run.applied[0].outcome, SettingOutcome::Failed);
    EXPECT_EQ(run.applied[1].outcome, SettingOutcome::NotTried);
    EXPECT_EQ(run.applied[2].outcome, SettingOutcome::NotTried);
    EXPECT_EQ(run.failedSetting(), &parameterInfo(proto::ParScanTime));
    EXPECT_TRUE(readerOutOfReach(rig.link.error()));
}

TEST(ProfileApply, StopBeforeAWrite)
{
    ProfileRig rig;
    int asked = 0;
    const ProfileRun run = runProfile(rig.link, rig.parsed("\"scanTime\": 100, \"keypadDelay\": 200"), false,
                                      [&asked] { return ++asked < 2; });
    EXPECT_EQ(run.applied[0].outcome, SettingOutcome::Ok);
    EXPECT_EQ(run.applied[1].outcome, SettingOutcome::NotTried);
    EXPECT_NE(rig.reader.parameters().value(proto::ParKeypadDelay), QByteArray::fromHex("C8"));
}

TEST(ProfileSave, EverySettingOfTheModelFromTheReader)
{
    ProfileRig rig;
    rig.reader.parameters().set(proto::ParIso15693IdBlock, QByteArray::fromHex("070102"));
    ReadResult read;
    const auto p = profileFromReader(rig.link, &read);
    ASSERT_TRUE(p) << read.why.toStdString();
    EXPECT_EQ(p->model, "KV350-MIC");
    ASSERT_TRUE(p->source);
    EXPECT_EQ(p->source->serialNumber, "00001234");
    EXPECT_EQ(p->source->firmware, "V2.1");
    EXPECT_EQ(p->settings.size(), settingsOfModel("KV350-MIC").size());
    EXPECT_EQ(p->settings.size(), 10u) << "the MIC has neither LF nor the UHF module";

    // What was saved applies back to the same reader without a write.
    ProfileError error;
    const auto reread = parseProfile(profileToJson(*p), &error);
    ASSERT_TRUE(reread) << error.message.toStdString();
    rig.reader.clearRequests();
    EXPECT_TRUE(runProfile(rig.link, *reread, false).ok());
    EXPECT_EQ(parameterFrames(rig.reader).size(), 10u);

    rig.hid.unplug();
    EXPECT_FALSE(profileFromReader(rig.link, &read));
    EXPECT_EQ(read.failed, settingsOfModel("KV350-MIC").front());
}
