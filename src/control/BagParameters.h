// Which names an applet's parameters are read under from a container's property bag: an
// <embed>'s attributes or an <object>'s <param>s, the same names and meaning as the plug-in's
// embed arguments. A bag that lists its names gives every one of them; one that cannot is
// asked for the names the applet settings know, then "Res1", "Res2"... up to the first that
// is missing (mappings under "Res:<name>" cannot be guessed). Plain C++.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

using ParameterPairs = std::vector<std::pair<std::string, std::string>>;

// Asks `read` for each name in turn; it answers with the value, or false when the bag has none.
ParameterPairs ReadKnownParameters(const std::function<bool(const std::string& name, std::string& value)>& read);

// The pairs as the settings take them: an <object>'s "data" stands for the applet when no
// "src" was given.
ParameterPairs WithAppletFromData(ParameterPairs pairs);
