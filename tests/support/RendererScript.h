// One run of the scripted renderer (tests/support/renderer): the script is written to
// <folder><name>.script and the report emptied at <folder><name>.report, and both are named
// in this process's environment, which the renderer the plug-in launches inherits. Install
// SCRIPTED_RENDERER as "RendererPath" to have it launched.
#pragma once

#include <string>
#include <vector>

class RendererScript {
public:
    RendererScript(const std::string& folder, const std::string& name, const std::string& script);

    const std::string& ReportPath() const { return report_; }
    std::vector<std::string> Report() const;
    bool Reported(const std::string& lineStart) const;  // a report line starts so
    bool Done() const { return Reported("done"); }      // the script has run to its end

private:
    std::string report_;
};

// The status words of a report line's "statuses" field ("3 4"), in the order the renderer saw them.
std::vector<int> StatusWords(const std::string& statuses);
