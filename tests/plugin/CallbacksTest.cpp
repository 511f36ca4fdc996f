// The instance callbacks of the built library, called the way a browser calls them:
// what they answer, what they ask of the browser, and how they take odd arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "PluginModule.h"
#include "PluginSession.h"
#include "browser/BrowserServices.h"

namespace {

constexpr char kLocation[] = "javascript:window.location.href";

class Callbacks : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.Loaded()); }

    int LocationRequests(PluginSession& session)
    {
        int n = 0;
        for (const BrowserCall& call : session.browser.Calls()) {
            n += call.function == "geturl" && call.url == kLocation && call.target == "(null)";
        }
        return n;
    }

    PluginModule module;
};

TEST_F(Callbacks, NullInstanceIsRefusedOrIgnoredByEveryCallback)
{
    PluginSession session(module, 0x000B, "Mozilla/4.0");
    const NPPluginFuncs& f = session.funcs;
    char* names[] = {const_cast<char*>("src")};
    char* values[] = {const_cast<char*>("a.obvm")};
    NPStream stream{};
    stream.url = "http://h/a.obvm";
    NPWindow window{};
    uint16_t stype = NP_NORMAL;
    char data[17] = "0123456789abcdef";

    EXPECT_EQ(f.newp(const_cast<char*>(kAppletType), nullptr, NP_EMBED, 1, names, values, nullptr),
              NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.setwindow(nullptr, &window), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.newstream(nullptr, nullptr, &stream, 0, &stype), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(stype, NP_NORMAL);
    EXPECT_EQ(f.destroystream(nullptr, &stream, NPRES_DONE), NPERR_INVALID_INSTANCE_ERROR);
    f.asfile(nullptr, &stream, "C:\\a.obvm");
    EXPECT_EQ(f.writeready(nullptr, &stream), 0x0FFFFFFF);
    EXPECT_EQ(f.write(nullptr, &stream, 0, 16, data), 16);
    f.urlnotify(nullptr, "http://h/a.obvm", NPRES_DONE, nullptr);

    NPPrint print{};
    print.mode = NP_FULL;
    print.print.fullPrint.pluginPrinted = true;
    f.print(nullptr, &print);
    EXPECT_TRUE(print.print.fullPrint.pluginPrinted);
    // Nothing reached the browser: no quirk detection, no location request.
    EXPECT_TRUE(session.browser.Calls().empty());
}

TEST_F(Callbacks, WriteReadyAndWriteTakeEverythingFromAnyStream)
{
    PluginSession session(module, 0x000B, "Mozilla/4.0");
    NPP_t npp{};
    const InstanceCleanup cleanup(session, npp);
    ASSERT_EQ(session.New(&npp, {{"src", "a.obvm"}}), NPERR_NO_ERROR);
    NPStream untracked{};
    untracked.url = "http://h/other.bin";
    std::string big(100000, 'x');
    EXPECT_EQ(session.funcs.writeready(&npp, &untracked), 268435455);
    EXPECT_EQ(session.funcs.writeready(&npp, nullptr), 268435455);
    EXPECT_EQ(session.funcs.write(&npp, &untracked, 0, static_cast<int32_t>(big.size()), big.data()), 100000);
    EXPECT_EQ(session.funcs.write(&npp, &untracked, 5, 0, big.data()), 0);
    EXPECT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(npp.pdata, nullptr);
}

TEST_F(Callbacks, PrintLeavesFullPagePrintingToTheBrowserAndIgnoresEmbedded)
{
    PluginSession session(module, 0x000B, "Mozilla/4.0");
    NPP_t npp{};
    const InstanceCleanup cleanup(session, npp);
    ASSERT_EQ(session.New(&npp, {}), NPERR_NO_ERROR);

    NPPrint full{};
    full.mode = NP_FULL;
    full.print.fullPrint.pluginPrinted = true;
    full.print.fullPrint.printOne = 7;
    session.funcs.print(&npp, &full);
    EXPECT_FALSE(full.print.fullPrint.pluginPrinted);
    EXPECT_EQ(full.print.fullPrint.printOne, 7);

    NPPrint embedded;
    std::memset(&embedded, 0x5A, sizeof embedded);
    embedded.mode = NP_EMBED;
    NPPrint before = embedded;
    session.funcs.print(&npp, &embedded);
    EXPECT_EQ(std::memcmp(&before, &embedded, sizeof embedded), 0);
    session.funcs.print(&npp, nullptr);
    session.funcs.destroy(&npp, nullptr);
}

struct LocationCase {
    const char* label;
    std::vector<Attribute> attributes;
    int requests;
};

class LocationRequest : public Callbacks, public ::testing::WithParamInterface<LocationCase> {};

TEST_P(LocationRequest, IsMadeOnceForAnyArgumentNamedSrc)
{
    PluginSession session(module, 0x000B, "Mozilla/4.0");
    NPP_t npp{};
    const InstanceCleanup cleanup(session, npp);
    ASSERT_EQ(session.New(&npp, GetParam().attributes), NPERR_NO_ERROR);
    EXPECT_NE(npp.pdata, nullptr);
    EXPECT_EQ(LocationRequests(session), GetParam().requests);
    EXPECT_EQ(session.browser.Count("geturl"), GetParam().requests);
    session.funcs.destroy(&npp, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, LocationRequest,
    ::testing::Values(LocationCase{"none", {{"WindowName", "w"}}, 0},
                      LocationCase{"lower", {{"src", "a.obvm"}}, 1},
                      LocationCase{"upper", {{"SRC", "a.obvm"}}, 1},
                      LocationCase{"mixed", {{"Src", "a.obvm"}}, 1},
                      LocationCase{"empty", {{"src", ""}}, 1},
                      LocationCase{"twice", {{"src", "a.obvm"}, {"WindowName", "w"}, {"SRC", "b.obvm"}}, 1},
                      LocationCase{"prefix", {{"srcs", "a"}, {"sr", "b"}, {"xsrc", "c"}}, 0},
                      LocationCase{"nullName", {{nullptr, "a"}, {"src", nullptr}}, 1},
                      LocationCase{"nullValue", {{"src", nullptr}}, 1}),
    [](const ::testing::TestParamInfo<LocationCase>& info) { return info.param.label; });

TEST_F(Callbacks, ArgumentCountBoundsTheArrays)
{
    PluginSession session(module, 0x000B, "Mozilla/4.0");
    char* names[] = {const_cast<char*>("src")};
    char* values[] = {const_cast<char*>("a.obvm")};
    for (int16_t argc : {0, -1, -32768}) {
        NPP_t npp{};
        const InstanceCleanup cleanup(session, npp);
        EXPECT_EQ(session.funcs.newp(const_cast<char*>(kAppletType), &npp, NP_EMBED, argc, names, values,
                                     nullptr),
                  NPERR_NO_ERROR);
        EXPECT_NE(npp.pdata, nullptr);
        session.funcs.destroy(&npp, nullptr);
    }
    // Arrays missing altogether, or their entries null.
    NPP_t npp{};
    const InstanceCleanup cleanup(session, npp);
    EXPECT_EQ(session.funcs.newp(const_cast<char*>(kAppletType), &npp, NP_EMBED, 3, nullptr, nullptr,
                                 nullptr),
              NPERR_NO_ERROR);
    session.funcs.destroy(&npp, nullptr);
    char* nullNames[] = {nullptr, nullptr};
    EXPECT_EQ(session.funcs.newp(const_cast<char*>(kAppletType), &npp, NP_EMBED, 2, nullNames, nullptr,
                                 nullptr),
              NPERR_NO_ERROR);
    session.funcs.destroy(&npp, nullptr);
    EXPECT_EQ(session.funcs.newp(const_cast<char*>(kAppletType), &npp, NP_EMBED, 1, names, nullptr,
                                 nullptr),
              NPERR_NO_ERROR);
    session.funcs.destroy(&npp, nullptr);
    EXPECT_EQ(LocationRequests(session), 1);  // only the last: a named src without a value array
}

TEST_F(Callbacks, HugeAttributeValuesAreTaken)
{
    PluginSession session(module, 0x000B, "Mozilla/4.0");
    std::string big(100 * 1024, 'v');
    std::string bigRes = "'" + std::string(100 * 1024, 'a') + "','" + std::string(100 * 1024, 'b') + "'";
    NPP_t npp{};
    const InstanceCleanup cleanup(session, npp);
    EXPECT_EQ(session.New(&npp, {{"WindowName", big.c_str()}, {"Res1", bigRes.c_str()},
                                 {big.c_str(), big.c_str()}, {"AlwaysActive", big.c_str()}}),
              NPERR_NO_ERROR);
    EXPECT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

TEST_F(Callbacks, StreamsAreTakenAsFilesOnlyUntilThePageIsKnown)
{
    PluginSession session(module, 0x000B, "Mozilla/4.0");
    NPP_t npp{};
    const InstanceCleanup cleanup(session, npp);
    ASSERT_EQ(session.New(&npp, {{"src", "a.obvm"}}), NPERR_NO_ERROR);
    const NPPluginFuncs& f = session.funcs;

    EXPECT_EQ(f.newstream(&npp, nullptr, nullptr, 0, nullptr), NPERR_NO_ERROR);

    NPStream location{};
    location.url = kLocation;
    uint16_t stype = NP_NORMAL;
    EXPECT_EQ(f.newstream(&npp, const_cast<char*>("text/plain"), &location, 0, &stype), NPERR_NO_ERROR);
    EXPECT_EQ(stype, NP_NORMAL);  // the location text comes through NPP_Write
    char page[] = "http://h/d/p.html";
    EXPECT_EQ(f.write(&npp, &location, 0, sizeof page - 1, page), static_cast<int32_t>(sizeof page - 1));
    EXPECT_EQ(f.destroystream(&npp, &location, NPRES_DONE), NPERR_NO_ERROR);

    NPStream applet{};
    applet.url = "http://h/d/a.obvm";
    EXPECT_EQ(f.newstream(&npp, const_cast<char*>(kAppletType), &applet, 0, &stype), NPERR_NO_ERROR);
    EXPECT_EQ(stype, NP_ASFILE);
    // Without a type pointer the applet stream is still accepted.
    NPStream second{};
    second.url = "http://h/d/b.obvm";
    stype = NP_NORMAL;
    EXPECT_EQ(f.newstream(&npp, nullptr, &second, 0, &stype), NPERR_NO_ERROR);
    EXPECT_EQ(stype, NP_NORMAL);  // ready now: no later stream is the applet's

    f.asfile(&npp, &applet, nullptr);
    f.asfile(&npp, &applet, "C:\\cache\\a.obvm");
    EXPECT_EQ(f.destroystream(&npp, &applet, NPRES_USER_BREAK), NPERR_NO_ERROR);
    EXPECT_EQ(f.destroystream(&npp, &second, NPRES_DONE), NPERR_NO_ERROR);
    EXPECT_EQ(f.destroystream(&npp, nullptr, NPRES_DONE), NPERR_NO_ERROR);
    f.asfile(&npp, nullptr, "C:\\x");
    f.urlnotify(&npp, "http://h/x", NPRES_NETWORK_ERR, nullptr);
    EXPECT_EQ(f.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

TEST_F(Callbacks, DestroyForgetsTheInstanceAndLeavesSaveAlone)
{
    PluginSession session(module, 0x000B, "Mozilla/4.0");
    NPP_t npp{};
    const InstanceCleanup cleanup(session, npp);
    ASSERT_EQ(session.New(&npp, {}), NPERR_NO_ERROR);
    NPSavedData* saved = reinterpret_cast<NPSavedData*>(0x1234);
    EXPECT_EQ(session.funcs.destroy(&npp, &saved), NPERR_NO_ERROR);
    EXPECT_EQ(saved, reinterpret_cast<NPSavedData*>(0x1234));
    EXPECT_EQ(npp.pdata, nullptr);
    // The handle of a destroyed instance is still the browser's: calls on it are harmless.
    NPWindow window{};
    EXPECT_EQ(session.funcs.setwindow(&npp, &window), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

}  // namespace
