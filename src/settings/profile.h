#pragma once
// Reader profiles: a file of reader settings by name (docs/profile-format.md),
// checked in full before anything is sent, compared with what a reader holds,
// and applied setting by setting with a read-back of each. No widgets here:
// the window's File menu, kv350ctl's settings commands and the provisioning
// station all call these functions.

#include "link/parameters.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace kv350 {
class ReaderLink;
}  // namespace kv350

namespace kv350::settings {

inline constexpr char ProfileFormatName[] = "kv350-profile";
inline constexpr int ProfileFormatVersion = 1;

// One setting with its value.
struct SettingValue {
    const ParameterInfo *info = nullptr;
    ParameterValue value;
};
using SettingValues = std::vector<SettingValue>;

// Where a saved profile came from; written by save, shown, never a condition.
struct ProfileSource {
    QString serialNumber;
    QString firmware;
    QString saved;  // ISO 8601, UTC
    bool operator==(const ProfileSource &) const = default;
};

struct Profile {
    QString model;            // empty: any model that has the settings
    QString minimumFirmware;  // empty: any version
    std::optional<ProfileSource> source;
    SettingValues settings;  // in the parameter table's order, each setting at most once
};

// Why a file was refused: the words name where (the JSON offset, the key, the
// setting) and what is allowed.
struct ProfileError {
    QString message;
    qint64 offset = -1;  // JSON parse errors: the byte offset; else -1
    QString setting;     // the key or setting at fault; empty for the file as a whole
};

// The file's bytes as a profile, or why not. Nothing is accepted in part.
std::optional<Profile> parseProfile(const QByteArray &bytes, ProfileError *error);
// A file read and parsed; a file that cannot be read is refused with its path.
std::optional<Profile> readProfileFile(const QString &path, ProfileError *error);
// The profile as the file holds it (indented JSON, settings in table order).
QByteArray profileToJson(const Profile &profile);
// Written whole or not at all (a temporary file renamed over the target).
bool writeProfileFile(const QString &path, const Profile &profile, QString *why);

// Whether a profile fits a reader: its model (when the profile names one), its
// firmware (when the profile names a minimum) and every setting the model
// must have. One line per problem, each naming the setting; empty: it fits.
QStringList checkProfile(const Profile &profile, const QString &modelName, const QString &firmwareVersion);
// Versions compared by their numbers ("V1.10" > "V1.9"; a leading V and
// blanks ignored); nothing when either has no number to compare.
std::optional<int> compareVersions(const QString &a, const QString &b);

// The settings a model has, in table order (every setting for nothing known).
std::vector<const ParameterInfo *> settingsOfModel(const QString &modelName);

// Reading the reader: the values of the settings asked for, in that order.
// Stops at the first setting that cannot be read: `failed` names it and why.
struct ReadResult {
    SettingValues values;
    const ParameterInfo *failed = nullptr;
    QString why;
    bool ok() const { return failed == nullptr; }
};
ReadResult readSettings(ReaderLink &link, const std::vector<const ParameterInfo *> &which);
// The reader's firmware version alone, as identification found it.
QString readerFirmware(const ReaderLink &link);
// A profile of everything a reader's model has, read from the reader, with
// its model and version; the read's failure when one setting cannot be read.
std::optional<Profile> profileFromReader(ReaderLink &link, ReadResult *read);

// One row of the comparison: what the reader holds beside what the file says.
struct SettingChange {
    const ParameterInfo *info = nullptr;
    ParameterValue reader;
    ParameterValue file;
    bool differs = false;
};
// The profile's settings beside the reader's values (which hold every one of
// them), in the profile's order. Two values are the same when they name the
// same (bits without a name are not compared).
std::vector<SettingChange> diffProfile(const Profile &profile, const SettingValues &reader);
bool anyDifference(const std::vector<SettingChange> &changes);
// A value as a person reads it in a table: the file's JSON, compact.
QString valueText(const ParameterInfo &info, const ParameterValue &value);

enum class SettingOutcome {
    Unchanged,  // the reader held the file's value: not written
    Ok,         // written, and the read-back holds the file's value
    Differs,    // written, but the read-back holds another value
    Failed,     // the write or the read-back failed (why says which)
    NotTried,   // not reached: an earlier setting lost the reader, or stopped
};
// "unchanged", "ok", "differs", "failed", "not tried" (files, kv350ctl).
QString outcomeName(SettingOutcome outcome);

struct AppliedSetting {
    const ParameterInfo *info = nullptr;
    SettingOutcome outcome = SettingOutcome::NotTried;
    std::optional<ParameterValue> readBack;  // Ok, Differs: what the reader holds now
    QString why;                             // Differs, Failed, NotTried
};

// Called before each write; false stops there (the rest is NotTried). The
// provisioning station's Ctrl-C lands here, never inside a write.
using ContinueCheck = std::function<bool()>;
// Each changed setting written and read back; unchanged ones not written.
// When the link loses the reader the remaining settings are NotTried.
std::vector<AppliedSetting> applyChanges(ReaderLink &link, const std::vector<SettingChange> &changes,
                                         const ContinueCheck &mayContinue = {});
bool allApplied(const std::vector<AppliedSetting> &applied);

// The whole sequence on an identified reader: check, read, compare, and
// (unless dryRun) apply with read-back. Nothing is written when the check or
// the read fails.
struct ProfileRun {
    enum class Step { Check, Read, Apply, Done };
    Step step = Step::Check;              // where it ended (Done: everything held)
    QStringList problems;                 // Check: why the profile does not fit
    ReadResult read;                      // Read: the reader's values before
    std::vector<SettingChange> changes;   // the comparison
    std::vector<AppliedSetting> applied;  // Apply: per setting
    bool ok() const { return step == Step::Done; }
    // The first failure in one line: "idLocation: read back ... " (empty when ok).
    QString failureText() const;
    // The setting that failed first (nullptr when none, or the check failed as a whole).
    const ParameterInfo *failedSetting() const;
};
ProfileRun runProfile(ReaderLink &link, const Profile &profile, bool dryRun, const ContinueCheck &mayContinue = {});
// "check", "read", "apply", "done".
QString stepName(ProfileRun::Step step);

}  // namespace kv350::settings
