// The commented manifest that `sea init` starts a product from.
#pragma once

#include <string>

// The manifest text for a product of that name (plain ASCII, no quotes).
std::string starting_manifest(const std::string& product);
