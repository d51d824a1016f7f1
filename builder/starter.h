// The commented starting manifest that `sea init` writes: every key, with
// what it does in the finished installer.
#pragma once

#include <string>

std::string starting_manifest();
