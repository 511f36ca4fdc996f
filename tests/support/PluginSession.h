// A browser's start-up of the plug-in and its embeds: hands out the plug-in table, then
// its own (a TestBrowser of a chosen version and user agent), and creates instances the
// way a page's embeds do. Works with the built library's exports and with orb_core's own
// functions linked into the test.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "PluginModule.h"
#include "TestBrowser.h"
#include "browser/NpapiAbi.h"

constexpr char kAppletType[] = "application/x-Orbolanth-3D-Applet";

using Attribute = std::pair<const char*, const char*>;

class PluginSession {
public:
    PluginSession(NP_GetEntryPointsProc getEntryPoints, NP_InitializeProc initialize,
                  NP_ShutdownProc shutdown, uint16_t version, const std::string& userAgent);
    // The built library, loaded for this session.
    PluginSession(PluginModule& module, uint16_t version, const std::string& userAgent);
    ~PluginSession();  // NP_Shutdown
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    // NPP_New with the embed's attributes in page order.
    NPError New(NPP_t* npp, std::initializer_list<Attribute> attributes);
    NPError New(NPP_t* npp, const std::vector<Attribute>& attributes);

    NPPluginFuncs funcs{};
    TestBrowser browser;
    NPError initializeResult = NPERR_GENERIC_ERROR;

private:
    NP_ShutdownProc shutdown_;
};

// Destroys the instance in `npp` when the scope ends, unless the test did so already: an
// assertion that returns early must not leave an instance behind. Declare it after both.
class InstanceCleanup {
public:
    InstanceCleanup(PluginSession& session, NPP_t& npp) : session_(session), npp_(npp) {}
    ~InstanceCleanup()
    {
        if (npp_.pdata) session_.funcs.destroy(&npp_, nullptr);
    }
    InstanceCleanup(const InstanceCleanup&) = delete;
    InstanceCleanup& operator=(const InstanceCleanup&) = delete;

private:
    PluginSession& session_;
    NPP_t& npp_;
};
