// The version resource as Windows reads it from a file. Every test program carries the
// plug-in's resources, so its own file states the plug-in's version too.
#pragma once

#include <string>
#include <vector>

std::vector<char> VersionBlock(const std::string& file);  // empty when the file has none
// A string of the US English, Windows Latin-1 table; "<missing>" when there is none.
std::string VersionString(const std::vector<char>& block, const char* key);
// "1.3.2": the first three numbers of the fixed file version, as the texts that name the
// version write it; empty without a version resource.
std::string ShortVersion(const std::string& file);
std::string ProgramPath();  // the running program's file
