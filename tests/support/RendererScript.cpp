#include "RendererScript.h"

#include <windows.h>

#include <fstream>
#include <sstream>

#include "TestFiles.h"

RendererScript::RendererScript(const std::string& folder, const std::string& name, const std::string& script)
    : report_(folder + name + ".report")
{
    const std::string scriptPath = folder + name + ".script";
    std::ofstream(scriptPath, std::ios::binary) << script;
    DeleteFileA(report_.c_str());
    SetEnvironmentVariableA("ORB_SCRIPT", scriptPath.c_str());
    SetEnvironmentVariableA("ORB_REPORT", report_.c_str());
}

std::vector<std::string> RendererScript::Report() const
{
    return ReadLines(report_);
}

bool RendererScript::Reported(const std::string& lineStart) const
{
    for (const std::string& line : Report()) {
        if (line.rfind(lineStart, 0) == 0) return true;
    }
    return false;
}

std::vector<int> StatusWords(const std::string& statuses)
{
    std::istringstream words(statuses);
    std::vector<int> seen;
    for (int word = 0; words >> word;) seen.push_back(word);
    return seen;
}
