#include "PluginSession.h"

PluginSession::PluginSession(NP_GetEntryPointsProc getEntryPoints, NP_InitializeProc initialize,
                             NP_ShutdownProc shutdown, uint16_t version, const std::string& userAgent)
    : browser(version, userAgent), shutdown_(shutdown)
{
    funcs.size = sizeof funcs;
    getEntryPoints(&funcs);
    initializeResult = initialize(browser.Table());
}

PluginSession::PluginSession(PluginModule& module, uint16_t version, const std::string& userAgent)
    : PluginSession(module.getEntryPoints, module.initialize, module.shutdown, version, userAgent)
{
}

PluginSession::~PluginSession()
{
    shutdown_();
}

NPError PluginSession::New(NPP_t* npp, std::initializer_list<Attribute> attributes)
{
    return New(npp, std::vector<Attribute>(attributes));
}

NPError PluginSession::New(NPP_t* npp, const std::vector<Attribute>& attributes)
{
    std::vector<char*> names, values;
    for (const Attribute& attribute : attributes) {
        names.push_back(const_cast<char*>(attribute.first));
        values.push_back(const_cast<char*>(attribute.second));
    }
    return funcs.newp(const_cast<char*>(kAppletType), npp, NP_EMBED, static_cast<int16_t>(names.size()),
                      names.data(), values.data(), nullptr);
}
