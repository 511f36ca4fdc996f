// Files the tests look at: logs and reports of other processes, served pages, downloads.
#pragma once

#include <string>
#include <vector>

std::string ReadFile(const std::string& path);               // its bytes; "" when it cannot be read
std::vector<std::string> ReadLines(const std::string& path);  // without line ends, "\r\n" or "\n"
// <build>/tests/<area>/logs/, made when missing, for files that outlive a test.
std::string LogFolder(const std::string& area);
// Names of the files (not folders) in `folder` that match `pattern` ("*", "orb*.tmp").
std::vector<std::string> FileNames(const std::string& folder, const std::string& pattern = "*");

// A browser's cache file: `name` holding `bytes` (the name itself when empty) in a folder
// of this process under %TEMP%; the path.
std::string CacheFile(const std::string& name, const std::string& bytes = "");
// Every file under %TEMP%, folders included, with paths relative to it.
std::vector<std::string> TempFiles();
