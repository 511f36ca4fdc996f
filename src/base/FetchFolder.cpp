#include "base/FetchFolder.h"

#include "base/IntegrityLevel.h"

std::string ChooseFetchFolder(const FetchFolderAnswers& answers)
{
    const std::string& temp = answers.tempFolder;
    if (!IsBelowMedium(answers.integrity)) return temp;
    // Asked only here: it loads a library of the browser's, which a medium process never needs.
    const std::string browser = answers.browserWritableFolder();
    if (!browser.empty() && answers.isFolder(browser)) return browser;
    const std::string low = temp.empty() ? std::string() : temp + "Low\\";
    if (!low.empty() && answers.isFolder(low)) return low;
    return temp;
}
