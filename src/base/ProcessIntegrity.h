// The integrity level this process runs at, asked of its token.
#pragma once

#include <optional>

// None where the system has no integrity levels or the token does not say.
std::optional<unsigned long> ProcessIntegrity();
