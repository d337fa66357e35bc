// Reader profiles (settings/profile): any bytes as a profile file, applied to
// a virtual reader of any model.
//
// Input: a model byte (the virtual reader's model), then the file's bytes.
// Properties:
// - a refused file names why (and, when it is not JSON, an offset inside the
//   bytes) and sends nothing: the reader sees no request at all;
// - a profile that does not fit the reader (model, firmware, a setting the
//   model has not) sends nothing beyond the identification;
// - an accepted profile written out reads back as the same profile;
// - applied to a fitting reader, only the settings that differ are written,
//   each with one Set and one Get, and afterwards the reader matches the file.
#include "common/protocol.h"
#include "fuzztarget.h"
#include "link/readerlink.h"
#include "link/virtualtime.h"
#include "settings/profile.h"
#include "sim/core/identity.h"
#include "sim/core/virtualreader.h"
#include "sim/transports/simhiddevice.h"
#include "sim/transports/simserialstream.h"

using namespace kv350;
using namespace kv350::fuzz;
using namespace kv350::settings;

namespace {

struct ProfileFuzzReader {
    explicit ProfileFuzzReader(const QByteArray &model) : reader(sim::Identity{model, "V1.5", "00000077"}) {}
    VirtualTime time;
    sim::VirtualReader reader;
    sim::SimHidDevice hid{reader, time};
    sim::SimSerialStream serial{reader, time};
    ReaderLink link{hid, serial, time, time};
};

int countWrites(const std::vector<QByteArray> &requests)
{
    int writes = 0;
    for (const QByteArray &r : requests)
        if (r.size() > 4 && std::uint8_t(r[2]) == proto::CmdParameter)
            ++writes;
    return writes;
}

void checkSameProfile(const Profile &a, const Profile &b)
{
    KV350_FUZZ_CHECK(a.model == b.model && a.minimumFirmware == b.minimumFirmware && a.source == b.source,
                     "the profile's keys changed when written and read again");
    KV350_FUZZ_CHECK(a.settings.size() == b.settings.size(), "settings lost when written and read again");
    for (std::size_t i = 0; i < a.settings.size(); ++i)
        KV350_FUZZ_CHECK(a.settings[i].info == b.settings[i].info && a.settings[i].value == b.settings[i].value,
                         std::string("a setting changed when written and read again: ") + a.settings[i].info->name);
}

}  // namespace

KV350_FUZZ_TARGET(profile)(const std::uint8_t *data, std::size_t size)
{
    ByteReader in(data, size);
    const auto &models = sim::knownModels();
    ProfileFuzzReader rig(models[in.u8() % models.size()]);
    const QByteArray bytes = in.rest();

    ProfileError error;
    const std::optional<Profile> profile = parseProfile(bytes, &error);
    if (!profile) {
        KV350_FUZZ_CHECK(!error.message.isEmpty(), "refused without a reason");
        KV350_FUZZ_CHECK(error.offset <= bytes.size(), "a parse offset outside the file");
        KV350_FUZZ_CHECK(rig.reader.requests().empty(), "a refused profile sent something");
        return 0;
    }
    KV350_FUZZ_CHECK(!profile->settings.empty(), "a profile of no setting accepted");
    ProfileError again;
    const std::optional<Profile> reread = parseProfile(profileToJson(*profile), &again);
    KV350_FUZZ_CHECK(reread.has_value(), "a written profile is refused: " + again.message.toStdString());
    checkSameProfile(*profile, *reread);

    KV350_FUZZ_CHECK(rig.link.ConnectReader(), "the virtual reader is not identified");
    rig.reader.clearRequests();
    const ProfileRun run = runProfile(rig.link, *profile, false);
    if (run.step == ProfileRun::Step::Check) {
        KV350_FUZZ_CHECK(!run.problems.isEmpty(), "refused by the check without a problem");
        KV350_FUZZ_CHECK(rig.reader.requests().empty(), "a profile that does not fit sent something");
        return 0;
    }
    KV350_FUZZ_CHECK(run.ok(),
                     "a fitting profile failed on the plain virtual reader: " + run.failureText().toStdString());
    int differing = 0;
    for (const SettingChange &c : run.changes)
        differing += c.differs ? 1 : 0;
    const int requests = int(rig.reader.requests().size());
    KV350_FUZZ_CHECK(requests == int(profile->settings.size()) + 2 * differing,
                     "frames: " + std::to_string(requests) + " for " + std::to_string(profile->settings.size()) +
                         " settings, " + std::to_string(differing) + " differing");
    KV350_FUZZ_CHECK(countWrites(rig.reader.requests()) == differing, "a setting written that did not differ");

    rig.reader.clearRequests();
    const ProfileRun after = runProfile(rig.link, *profile, true);
    KV350_FUZZ_CHECK(after.ok() && !anyDifference(after.changes), "the reader differs from the file after applying");
    return 0;
}
