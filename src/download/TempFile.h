// The files that downloads are written to. Their paths go to the renderer, which opens them
// with the ANSI calls, so they are made under a folder named in the ANSI code page.
#pragma once

#include <cstddef>
#include <string>

// The folder downloads go to (base/FetchFolder.h): the temporary folder, or in a Protected
// Mode tab one that a low-integrity process may write; empty when there is none.
std::string FetchFolder();

// Creates an empty "orb*" file in the folder and gives its full ANSI path; empty when none
// could be made.
std::string MakeTempFile(const std::string& folder);

// Adds the bytes at the end of the file; false unless all of them were written (a full disk).
// The file is open only for this call.
bool AppendToFile(const std::string& path, const char* data, size_t size);
