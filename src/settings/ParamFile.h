// The parameter file's text: pairs written "name" = "value"; everything outside the
// quotes is ignored and the text ends at its first NUL. Plain C++.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

using ParameterPairs = std::vector<std::pair<std::string, std::string>>;

ParameterPairs TokenizeParamFile(const char* text, size_t size);
