// `sea damage`: spoils an installer in place at a named spot, for the tests
// that check how the installer and `sea verify` report a damaged archive.
// Each place is chosen so that it always leads to the same report.
#pragma once

#include "builder/reader.h"

struct DamagePlace {
    const char* name;
    const char* effect;
};
extern const DamagePlace damage_places[];
extern const size_t damage_place_count;

// Throws ArchiveProblem (without code) for an unknown place or an installer
// that cannot be read far enough to be damaged there.
void damage_installer(const std::string& path, const std::string& place);
