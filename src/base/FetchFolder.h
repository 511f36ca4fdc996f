// Where fetched files are written. Their paths go to the renderer, which the process starts
// at its own integrity; a Protected Mode tab (low integrity) may not create files in the
// user's temporary folder, only in folders labelled low.
#pragma once

#include <functional>
#include <optional>
#include <string>

// What the choice asks the system, answered by the caller (the platform, or a test). Folders
// end in a backslash: added where the name is still UTF-16, since in a double-byte code page
// an ANSI name may end in a byte that only looks like one.
struct FetchFolderAnswers {
    std::optional<unsigned long> integrity;  // the process's level; none when unknown
    // The folder Internet Explorer says a process of this integrity may write (the temporary
    // Internet files, low where protected); empty when it gives none. Asked only when needed.
    std::function<std::string()> browserWritableFolder;
    // Whether the path names an existing folder.
    std::function<bool(const std::string&)> isFolder;
    std::string tempFolder;  // the temporary folder, ending in a backslash; empty when none
};

// Empty when there is no folder at all. At medium integrity and above
// the temporary folder, as ever; below it the browser's writable folder, else the "Low"
// folder Windows keeps in the temporary folder, else the temporary folder itself (where
// creating a file will fail and say so).
std::string ChooseFetchFolder(const FetchFolderAnswers& answers);
