#include "InProcessPage.h"

#include <windows.h>

#include <vector>

#include "browser/BrowserServices.h"
#include "plugin/PluginEntry.h"
#include "plugin/PluginInstance.h"
#include "TestFiles.h"

namespace {

const std::string kPages = ORB_SOURCE_DIR "/tests/streams/pages/";

}  // namespace

std::string PageFile(const std::string& url)
{
    std::string name = url;
    const size_t up = name.rfind("/../");
    if (up != std::string::npos) name = name.substr(up + 4);
    const size_t page = name.rfind("/pages/");
    if (page != std::string::npos) name = name.substr(page + 7);
    for (size_t at; (at = name.find("%20")) != std::string::npos;) name.replace(at, 3, " ");
    const std::string path = kPages + name;
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? "" : path;
}

InProcessPage::InProcessPage(uint16_t version, const std::string& script, const std::string& name,
                             std::function<std::string(const std::string&)> localFile,
                             const std::string& traceFile)
    : script_(LogFolder("streams"), name, script),
      browser_(version, "file:///" + kPages + "resources.html", std::move(localFile)),
      window_(200, 150)
{
    installation_.SetString("RendererPath", SCRIPTED_RENDERER);
    if (!traceFile.empty()) installation_.SetString("TraceFile", traceFile);
    browser_.withhold = "never";
    Quirks() = BrowserQuirks{};
    NP_GetEntryPoints(&table_);
    NP_Initialize(browser_.Browser().Table());
}

InProcessPage::~InProcessPage()
{
    // A test that stopped at a failed assertion left its page open.
    if (npp_.pdata) Close();
    NP_Shutdown();
}

bool InProcessPage::Open()
{
    std::vector<const char*> names = {"src", "WindowName", "Res:sky", "Res:unused"};
    std::vector<const char*> values = {"applets/scripted.obvm", "main", "data/night sky.txt", "data/plain.txt"};
    if (NPP_New(nullptr, &npp_, NP_EMBED, static_cast<int16_t>(names.size()), const_cast<char**>(names.data()),
                const_cast<char**>(values.data()), nullptr) != NPERR_NO_ERROR) {
        return false;
    }
    browser_.Deliver(&npp_, "file:///" + kPages + "applets/scripted.obvm", false, nullptr);
    NPP_SetWindow(&npp_, window_.Record());
    return true;
}

bool InProcessPage::RunScript(const std::function<void()>& eachTurn, DWORD limitMs)
{
    return PumpUntil(browser_, &npp_, [&] {
        if (eachTurn) eachTurn();
        return script_.Done();
    }, limitMs);
}

void InProcessPage::Close()
{
    NPWindow gone = *window_.Record();
    gone.window = nullptr;
    NPP_SetWindow(&npp_, &gone);
    window_.Destroy();
    NPP_Destroy(&npp_, nullptr);
    PumpMessages();
}

PluginInstance* InProcessPage::Instance()
{
    return InstanceOf(&npp_);
}
