// One page with one embed of tests/streams/pages/resources.html, run inside this process
// from NPP_New to NPP_Destroy: the plug-in's own functions, a browser of ours that answers
// from the loop, a real window, and the scripted renderer launched for real.
#pragma once

#include <functional>
#include <string>

#include "AnsweringBrowser.h"
#include "BrowserWindow.h"
#include "ConfigurationKey.h"
#include "RendererScript.h"
#include "browser/NpapiAbi.h"

class PluginInstance;

// The page's files by the part of the URL after the page (resolved or not), spaces
// unescaped; "" when there is no such file.
std::string PageFile(const std::string& url);

class InProcessPage {
public:
    // `name` names the script and report files under tests/streams/logs in the build; a
    // `traceFile` turns the plug-in's trace on, into that file.
    InProcessPage(uint16_t version, const std::string& script, const std::string& name,
                  std::function<std::string(const std::string&)> localFile = &PageFile,
                  const std::string& traceFile = "");
    ~InProcessPage();  // closes the page if it is still open, then NP_Shutdown
    InProcessPage(const InProcessPage&) = delete;
    InProcessPage& operator=(const InProcessPage&) = delete;

    // NPP_New, the applet's stream, NPP_SetWindow.
    bool Open();
    // Serves until the script reports "done"; false after limitMs. eachTurn runs once per
    // turn of the loop.
    bool RunScript(const std::function<void()>& eachTurn = {}, DWORD limitMs = 60000);
    // As a browser closes a page: the window goes, then the instance.
    void Close();

    const RendererScript& Script() const { return script_; }
    PluginInstance* Instance();
    AnsweringBrowser& Browser() { return browser_; }

private:
    RendererScript script_;
    ConfigurationKey installation_;
    AnsweringBrowser browser_;
    BrowserWindow window_;
    NPPluginFuncs table_{};
    NPP_t npp_{};
};
