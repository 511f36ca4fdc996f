// Files the tests read back whole: logs and reports of other processes, served pages.
#pragma once

#include <string>
#include <vector>

std::string ReadFile(const std::string& path);               // its bytes; "" when it cannot be read
std::vector<std::string> ReadLines(const std::string& path);  // without line ends, "\r\n" or "\n"
// <build>/tests/<area>/logs/, made when missing, for files that outlive a test.
std::string LogFolder(const std::string& area);
