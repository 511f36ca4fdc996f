// Window names listed in apostrophes: 'a', 'b' gives a and b; two apostrophes inside a
// name stand for one ('it''s' gives it's). Text outside apostrophes is ignored, and a
// name whose closing apostrophe is missing is dropped. Plain C++.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> ParseQuotedNames(const std::string& text);
