#pragma once
// kv350ctl's commands that change the reader's settings or hold them against
// a profile file (settings/profile.h): set, save, apply, diff. Every write is
// read back; a file is checked whole before anything is sent.

#include "commandtable.h"

namespace kv350::cli {

// settings set NAME VALUE: VALUE as the file names it (120, FRENCH,
// '["auto","beep"]'), written when the reader holds another and read back.
int settingsSet(Session &session);
QString takeSettingValue(const QCommandLineParser &parser, Options &options);
// settings save FILE: every setting the model has, read from the reader.
int settingsSave(Session &session);
// settings apply FILE [--dry-run]: what differs written and read back.
int settingsApply(Session &session);
// settings diff FILE: the reader beside the file; ExitDiffers when they differ.
int settingsDiff(Session &session);
// FILE, and nothing more.
QString takeProfileFile(const QCommandLineParser &parser, Options &options);

// The rows of the command table.
void addProfileCommands(std::vector<CommandSpec> &table);

}  // namespace kv350::cli
