// The temporary files that downloads are written to. Their paths go to the renderer, which
// opens them with the ANSI calls, so they are made under AnsiTempFolder.
#pragma once

#include <cstddef>
#include <string>

// Creates an empty "orb*" file in the temporary folder and gives its full ANSI path; empty
// when none could be made.
std::string MakeTempFile();

// Adds the bytes at the end of the file; false unless all of them were written (a full disk).
// The file is open only for this call.
bool AppendToFile(const std::string& path, const char* data, size_t size);
