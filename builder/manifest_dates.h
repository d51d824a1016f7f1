// Dates in a manifest: a TOML local date-time or date, or the same written
// as a text, or "none"; checked against what a Windows file time can hold.
#pragma once

#include "builder/manifest.h"

#include <toml++/toml.h>

// Dates before this are legal but most likely a mistake (DOS dates start
// here); `sea check` warns of them.
const int first_likely_year = 1980;

// what: the message's start, "m.toml:4: date". Throws ManifestError.
DateTime read_manifest_date(const toml::node& node, const std::string& what);
