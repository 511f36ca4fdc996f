// Writes a JsonValue as compact JSON for a native message. What JsonParser accepts comes back
// out as text it parses to an equal value; a value built by hand that JSON cannot carry (a
// string that is not UTF-8, an infinite or undefined number) is refused rather than sent as
// something the browser would drop the connection over.
#pragma once

#include <string>

#include "JsonValue.h"

// Replaces `json` with the text; false (json unspecified) when the value cannot be written.
bool WriteJson(const JsonValue& value, std::string& json);
