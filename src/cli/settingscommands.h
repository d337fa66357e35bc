#pragma once
// kv350ctl's commands on the reader's settings, by the names of the parameter
// table (link/parameters.h).

#include "commandtable.h"

namespace kv350::cli {

// settings get [NAME]: NAME, or every setting the identified model has, read
// from the reader; one "name: value" line each, or one JSON object of them.
int settingsGet(Session &session);
// Its argument: nothing, or one setting's name.
QString takeSettingName(const QCommandLineParser &parser, Options &options);

}  // namespace kv350::cli
