// The parameter file named by the registry, read when an instance is created, with the
// page's attributes applied over it: the real registry and files of the test prefix.
#include <gtest/gtest.h>

#include <string>

#include "ConfigurationKey.h"
#include "PluginSession.h"
#include "plugin/PluginEntry.h"
#include "plugin/PluginInstance.h"

namespace {

class ParamFile : public ::testing::Test {
protected:
    // Creates an instance the way a page does and keeps it for the test to look at.
    const AppletSettings& Create(std::initializer_list<Attribute> attributes = {})
    {
        if (npp.pdata) session.funcs.destroy(&npp, nullptr);
        EXPECT_EQ(session.New(&npp, attributes), NPERR_NO_ERROR);
        return static_cast<PluginInstance*>(npp.pdata)->Settings();
    }
    void TearDown() override
    {
        if (npp.pdata) session.funcs.destroy(&npp, nullptr);
    }

    ConfigurationKey key;
    PluginSession session{&NP_GetEntryPoints, &NP_Initialize, &NP_Shutdown, 0x000B, "Mozilla/4.0"};
    NPP_t npp{};
};

TEST_F(ParamFile, PageAttributesOverrideTheFile)
{
    TempFile file("\"WindowName\" = \"fromFile\"\n\"src\" = \"file.obvm\"\n\"GroupName\" = \"g\"\n"
                  "\"Res:Sky\" = \"night.obv\" \"Res1\" = \"'a','b'\"\n");
    key.SetString("ParamFile", file.Path());
    const AppletSettings& instance = Create({{"windowname", "page"}, {"src", ""}, {"RES:Sky", "day.obv"}});
    EXPECT_EQ(instance.WindowName(), "page");
    EXPECT_EQ(instance.GroupName(), "g");
    EXPECT_EQ(instance.SrcUrl(), "");
    EXPECT_TRUE(instance.HasSrc());
    EXPECT_EQ(instance.ResourceMap(), (std::map<std::string, std::string>{{"Sky", "day.obv"}, {"a", "b"}}));
}

TEST_F(ParamFile, MissingKeyValueOrFileContributesNothing)
{
    EXPECT_EQ(Create({{"GroupName", "page"}}).GroupName(), "page");
    EXPECT_EQ(Create().WindowName(), "");
    key.SetDword("Unrelated", 1);
    EXPECT_EQ(Create().WindowName(), "");
    key.SetString("ParamFile", "C:\\no\\such\\file.txt");
    EXPECT_EQ(Create().WindowName(), "");
    key.SetString("ParamFile", "");
    EXPECT_EQ(Create().WindowName(), "");
}

TEST_F(ParamFile, OnlyAStringValueNamesTheFile)
{
    TempFile file("\"WindowName\" = \"fromFile\"");
    key.SetString("ParamFile", file.Path(), REG_EXPAND_SZ);
    EXPECT_EQ(Create().WindowName(), "");
    key.SetString("ParamFile", file.Path() + '\0', REG_MULTI_SZ);
    EXPECT_EQ(Create().WindowName(), "");
    key.SetString("ParamFile", file.Path(), REG_BINARY);
    EXPECT_EQ(Create().WindowName(), "");
    key.SetDword("ParamFile", 0x43);
    EXPECT_EQ(Create().WindowName(), "");
    key.SetString("ParamFile", file.Path(), REG_SZ);
    EXPECT_EQ(Create().WindowName(), "fromFile");
}

TEST_F(ParamFile, NameMustFitTwoHundredSixtyBytesWithItsTerminator)
{
    TempFile file("\"WindowName\" = \"fromFile\"");
    const std::string& path = file.Path();
    ASSERT_LT(path.size(), 200u);
    // Trailing spaces do not change which file a Windows path names, so each value below
    // would reach the file if it were read at its full length.
    std::string fits = path + std::string(259 - path.size(), ' ');
    key.SetString("ParamFile", fits);
    EXPECT_EQ(Create().WindowName(), "fromFile");

    std::string tooLong = path + std::string(260 - path.size(), ' ');
    key.SetString("ParamFile", tooLong);
    EXPECT_EQ(Create().WindowName(), "");
    // Stored without a terminator (the byte after the count is not one, or the registry
    // would count it in).
    std::string unterminated = tooLong + "x";
    key.SetBytes("ParamFile", unterminated.data(), 260, REG_SZ);
    EXPECT_EQ(Create().WindowName(), "");
    unterminated = fits + "x";
    key.SetBytes("ParamFile", unterminated.data(), 259, REG_SZ);  // room left for the terminator
    EXPECT_EQ(Create().WindowName(), "fromFile");

    // A value that holds the path, a terminator and more: 300 bytes do not fit.
    std::string padded = path + std::string(1, '\0') + std::string(299 - path.size(), 'x');
    key.SetBytes("ParamFile", padded.data(), static_cast<DWORD>(padded.size()), REG_SZ);
    EXPECT_EQ(Create().WindowName(), "");
    key.SetString("ParamFile", std::string(5000, 'C'));
    EXPECT_EQ(Create().WindowName(), "");
}

// A 64-bit prefix has both registry views: the key an installer wrote in the 32-bit view
// comes first, and the first view that has the key gives every value.
TEST_F(ParamFile, SixtyFourBitPluginReadsTheThirtyTwoBitViewFirst)
{
    if (sizeof(void*) == 4) GTEST_SKIP() << "the 32-bit plug-in reads its own view only";
    TempFile installed("\"WindowName\" = \"installed\""), own("\"WindowName\" = \"own\"");
    ConfigurationKey view32(KEY_WOW64_32KEY), view64(KEY_WOW64_64KEY);
    view32.SetString("ParamFile", installed.Path());
    EXPECT_EQ(Create().WindowName(), "installed");
    ConfigurationKey::Remove();
    view64.SetString("ParamFile", own.Path());
    EXPECT_EQ(Create().WindowName(), "own");
    view32.SetDword("Unrelated", 1);
    EXPECT_EQ(Create().WindowName(), "");
    view32.SetString("ParamFile", installed.Path());
    EXPECT_EQ(Create().WindowName(), "installed");
}

TEST_F(ParamFile, HostileFilesGiveWhatIsCompleteAndNothingElse)
{
    {
        TempFile noQuotes("WindowName = fromFile\r\nGroupName = g\r\n");
        key.SetString("ParamFile", noQuotes.Path());
        const AppletSettings& instance = Create();
        EXPECT_EQ(instance.WindowName(), "");
        EXPECT_EQ(instance.GroupName(), "");
    }
    {
        TempFile unfinished("\"WindowName\" = \"w\" \"GroupName\" = \"g");
        key.SetString("ParamFile", unfinished.Path());
        const AppletSettings& instance = Create();
        EXPECT_EQ(instance.WindowName(), "w");
        EXPECT_EQ(instance.GroupName(), "");
    }
    {
        TempFile nul(std::string("\"WindowName\" = \"w\"\0\"GroupName\" = \"g\"", 37));
        key.SetString("ParamFile", nul.Path());
        const AppletSettings& instance = Create();
        EXPECT_EQ(instance.WindowName(), "w");
        EXPECT_EQ(instance.GroupName(), "");
    }
    {
        TempFile empty("");
        key.SetString("ParamFile", empty.Path());
        EXPECT_EQ(Create().WindowName(), "");
    }
    {
        std::string megabyte(1 << 20, 'c');
        TempFile big("\"CommandLine\" = \"" + megabyte + "\" \"WindowName\" = \"after\"");
        key.SetString("ParamFile", big.Path());
        const AppletSettings& instance = Create();
        EXPECT_EQ(instance.CommandLine(), megabyte);
        EXPECT_EQ(instance.WindowName(), "after");
    }
    {
        std::string text;
        for (int i = 0; i < 100000; ++i) text += "\"Res:k" + std::to_string(i) + "\"=\"v" + std::to_string(i) + "\"\n";
        TempFile many(text);
        key.SetString("ParamFile", many.Path());
        const AppletSettings& instance = Create({{"Res:k5", "page"}});
        ASSERT_EQ(instance.ResourceMap().size(), 100000u);
        EXPECT_EQ(instance.ResourceMap().at("k99999"), "v99999");
        EXPECT_EQ(instance.ResourceMap().at("k5"), "page");
    }
}

TEST_F(ParamFile, PageAttributesOfAnySizeOrShape)
{
    std::string big(100 * 1024, 'w');
    EXPECT_EQ(Create({{"WindowName", big.c_str()}}).WindowName(), big);
    const AppletSettings& nulls = Create({{nullptr, "x"}, {"GroupName", nullptr}, {"WindowName", "w"}});
    EXPECT_EQ(nulls.WindowName(), "w");
    EXPECT_EQ(nulls.GroupName(), "");

    char* names[] = {const_cast<char*>("WindowName")};
    char* values[] = {const_cast<char*>("w")};
    for (int16_t argc : {0, -1}) {
        session.funcs.destroy(&npp, nullptr);
        ASSERT_EQ(session.funcs.newp(const_cast<char*>(kAppletType), &npp, NP_EMBED, argc, names, values, nullptr),
                  NPERR_NO_ERROR);
        EXPECT_EQ(static_cast<PluginInstance*>(npp.pdata)->Settings().WindowName(), "");
    }
}

}  // namespace
