// The rules that turn name/value pairs into an applet's settings, and the tokeniser of the
// parameter file, fed with ordinary, odd and hostile text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GuardedBuffer.h"
#include "settings/AppletSettings.h"
#include "settings/ParamFile.h"

namespace {

AppletSettings Apply(std::vector<std::pair<const char*, const char*>> pairs)
{
    std::vector<const char*> names, values;
    for (auto& [name, value] : pairs) {
        names.push_back(name);
        values.push_back(value);
    }
    AppletSettings settings;
    settings.ParseParameters(static_cast<int>(pairs.size()), names.data(), values.data());
    return settings;
}

struct TruthCase {
    const char* value;
    bool expected;
};

class AlwaysActive : public ::testing::TestWithParam<TruthCase> {};

TEST_P(AlwaysActive, ValueDecidesTheFlag)
{
    // Start from the opposite so that every answer is a change.
    AppletSettings settings = Apply({{"AlwaysActive", GetParam().expected ? "0" : "1"},
                                     {"alwaysactive", GetParam().value}});
    EXPECT_EQ(settings.AlwaysActive(), GetParam().expected) << '"' << GetParam().value << '"';
}

INSTANTIATE_TEST_SUITE_P(Values, AlwaysActive,
                         ::testing::Values(TruthCase{"No", false}, TruthCase{"false", false},
                                           TruthCase{"OFF", false}, TruthCase{"0", false},
                                           TruthCase{"0x0", false}, TruthCase{"00", false},
                                           TruthCase{"  0", false}, TruthCase{" \t off", false},
                                           TruthCase{"nonsense", false},
                                           TruthCase{"1", true}, TruthCase{"-3", true},
                                           TruthCase{"yes", true}, TruthCase{"true", true},
                                           TruthCase{"on", true}, TruthCase{"", true},
                                           TruthCase{"0x10", true}, TruthCase{"010", true},
                                           TruthCase{"+", true}, TruthCase{"99999999999999", true}));

TEST(Parameters, AdsModeFollowsTheLastOfNoAdsAndAds)
{
    EXPECT_EQ(Apply({{"Ads", " never "}}).AdsMode(), 2);
    EXPECT_EQ(Apply({{"ADS", "\t\r\nNeVeR\v\f"}}).AdsMode(), 2);
    EXPECT_EQ(Apply({{"Ads", "No"}}).AdsMode(), 1);
    EXPECT_EQ(Apply({{"Ads", "N O"}}).AdsMode(), 0);
    EXPECT_EQ(Apply({{"Ads", "never!"}}).AdsMode(), 0);
    EXPECT_EQ(Apply({{"NoAds", "no"}, {"Ads", "yes"}}).AdsMode(), 0);
    EXPECT_EQ(Apply({{"NoAds", "x"}, {"Ads", ""}}).AdsMode(), 0);
    EXPECT_EQ(Apply({{"Ads", "never"}, {"noads", "false"}}).AdsMode(), 1);
    EXPECT_EQ(Apply({{"NoAds", ""}}).AdsMode(), 1);
    EXPECT_EQ(Apply({{"Ads", "   "}}).AdsMode(), 0);
}

TEST(Parameters, SiteIdReadsLeadingDecimal)
{
    EXPECT_EQ(Apply({{"SiteID", "42abc"}}).SiteId(), 42);
    EXPECT_EQ(Apply({{"siteid", "abc"}}).SiteId(), 0);
    EXPECT_EQ(Apply({{"SiteID", "  -17"}}).SiteId(), -17);
    EXPECT_EQ(Apply({{"SiteID", "+8"}}).SiteId(), 8);
    EXPECT_EQ(Apply({{"SiteID", "0x1F"}}).SiteId(), 0);
    EXPECT_EQ(Apply({{"SiteID", "5"}, {"SiteID", ""}}).SiteId(), 0);
}

TEST(Parameters, StringSettingsIgnoreNameCaseAndKeepValuesExactly)
{
    AppletSettings settings = Apply({{"WINDOWNAME", " Main View "}, {"groupname", "G"},
                                     {"CommandLine", "-x \"y\""}, {"otherWINDOWS", "'a', 'b'"},
                                     {"WindowNames", "ignored"}, {"Window Name", "ignored"},
                                     {"unknown", "x"}, {"", ""}});
    EXPECT_EQ(settings.WindowName(), " Main View ");
    EXPECT_EQ(settings.GroupName(), "G");
    EXPECT_EQ(settings.CommandLine(), "-x \"y\"");
    EXPECT_EQ(settings.OtherWindows(), "'a', 'b'");
    EXPECT_TRUE(settings.ResourceMap().empty());
    EXPECT_EQ(settings.SrcUrl(), "");
    EXPECT_FALSE(settings.HasSrc());
}

TEST(Parameters, EmptySrcClearsTheUrlButNotHasSrc)
{
    AppletSettings settings = Apply({{"src", "file.obvm"}, {"SRC", ""}});
    EXPECT_EQ(settings.SrcUrl(), "");
    EXPECT_TRUE(settings.HasSrc());
    EXPECT_FALSE(Apply({{"src", ""}}).HasSrc());
}

TEST(Parameters, ResourceMappingsFromBothForms)
{
    using Map = std::map<std::string, std::string>;
    EXPECT_EQ(Apply({{"Res:Sky", "night.obv"}}).ResourceMap(), (Map{{"Sky", "night.obv"}}));
    EXPECT_EQ(Apply({{"RES:Sky", "night.obv"}, {"rEs:", "empty key"}}).ResourceMap(),
              (Map{{"Sky", "night.obv"}, {"", "empty key"}}));
    EXPECT_EQ(Apply({{"Res:sky", "a"}, {"Res:Sky", "b"}, {"Res:sky", "c"}}).ResourceMap(),
              (Map{{"Sky", "b"}, {"sky", "c"}}));
    EXPECT_EQ(Apply({{"Res1", "'a.obv','b.obv'"}}).ResourceMap(), (Map{{"a.obv", "b.obv"}}));
    EXPECT_EQ(Apply({{"Res1", " \t'a b' ,\n ' c' \r"}}).ResourceMap(), (Map{{"a b", " c"}}));
    EXPECT_EQ(Apply({{"Res 5", "'a','1'"}, {"Res-1", "'b','2'"}, {"Res7x", "'c','3'"}, {"Res+0", "'d','4'"}})
                  .ResourceMap(),
              (Map{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}));
    EXPECT_EQ(Apply({{"Res1", "'k','first'"}, {"Res2", "'k','second'"}}).ResourceMap(), (Map{{"k", "second"}}));
    // Forms that leave the map alone.
    for (const char* name : {"res1", "RES1", "Res", "Resx", "Res -", "Res+", " Res1"}) {
        EXPECT_TRUE(Apply({{name, "'a','b'"}}).ResourceMap().empty()) << name;
    }
    for (const char* value : {"'','b'", "'a',''", "'a''b'", "'a' 'b'", "a,'b'", "'a',b", "'a','b", "'a", "",
                              "'a',", ",'b'", "'", "''"}) {
        EXPECT_TRUE(Apply({{"Res2", value}}).ResourceMap().empty()) << value;
    }
    // Text after the second part does not matter.
    EXPECT_EQ(Apply({{"Res3", "'a','b' trailing"}}).ResourceMap(), (Map{{"a", "b"}}));
}

TEST(Parameters, ResValuesAreReadWithinTheirOwnLength)
{
    // Each value ends, terminator included, where an inaccessible page begins.
    for (const char* value : {"'a','b'", "'a','b", "'a',", "'abc", "  ", "'a' ,  ", "'"}) {
        std::string bytes = std::string(value) + '\0';
        GuardedBuffer guarded(bytes);
        AppletSettings settings = Apply({{"Res9", guarded.Data()}});
        EXPECT_LE(settings.ResourceMap().size(), 1u) << value;
    }
    std::string longParts = "'" + std::string(100000, 'n') + "','" + std::string(100000, 'r') + "'";
    GuardedBuffer guarded(longParts + '\0');
    AppletSettings settings = Apply({{"Res1", guarded.Data()}});
    ASSERT_EQ(settings.ResourceMap().size(), 1u);
    EXPECT_EQ(settings.ResourceMap().begin()->first.size(), 100000u);
    EXPECT_EQ(settings.ResourceMap().begin()->second, std::string(100000, 'r'));
}

TEST(Parameters, NoPairsAppliedForEmptyOrMissingArrays)
{
    const char* names[] = {"WindowName"};
    const char* values[] = {"w"};
    AppletSettings settings;
    settings.ParseParameters(0, names, values);
    settings.ParseParameters(-1, names, values);
    settings.ParseParameters(1, nullptr, values);
    settings.ParseParameters(1, names, nullptr);
    EXPECT_EQ(settings.WindowName(), "");
    const char* nullNames[] = {nullptr, "GroupName"};
    const char* nullValues[] = {"x", nullptr};
    settings.ParseParameters(2, nullNames, nullValues);
    EXPECT_EQ(settings.GroupName(), "");
    settings.ParseParameters(1, names, values);
    EXPECT_EQ(settings.WindowName(), "w");
}

ParameterPairs Tokens(const std::string& text)
{
    return TokenizeParamFile(text.data(), text.size());
}

TEST(ParamFileText, PairsAreQuotedNamesAndValuesAroundAnEqualsSign)
{
    EXPECT_EQ(Tokens("\"a\" \"b\" = \"c\""), (ParameterPairs{{"a", "c"}}));
    EXPECT_EQ(Tokens("junk \"WindowName\"=\"w\"\r\nmore junk\n\"src\"  =\n  \"multi\nline\" tail"),
              (ParameterPairs{{"WindowName", "w"}, {"src", "multi\nline"}}));
    EXPECT_EQ(Tokens("\"\" = \"\""), (ParameterPairs{{"", ""}}));
    EXPECT_EQ(Tokens("\"a\" x = y \"v\" \"b\"=\"w\""), (ParameterPairs{{"a", "v"}, {"b", "w"}}));
    EXPECT_EQ(Tokens("\"a=b\" = \"=\""), (ParameterPairs{{"a=b", "="}}));
}

TEST(ParamFileText, MalformedTextYieldsWhatIsComplete)
{
    EXPECT_TRUE(Tokens("").empty());
    EXPECT_TRUE(Tokens("WindowName = w\nsrc = a.obvm\n").empty());
    EXPECT_TRUE(Tokens("\"a\"").empty());
    EXPECT_TRUE(Tokens("\"a\" = ").empty());
    EXPECT_TRUE(Tokens("\"a\" = \"unfinished").empty());
    EXPECT_TRUE(Tokens("\"a\" \"b\" \"c\"").empty());
    EXPECT_EQ(Tokens("\"a\" = \"1\" \"b\" = \"2"), (ParameterPairs{{"a", "1"}}));
    EXPECT_EQ(Tokens("\"a\" = \"1\" \"b\" ="), (ParameterPairs{{"a", "1"}}));
    EXPECT_EQ(Tokens(std::string("\"a\" = \"1\"\0\"b\" = \"2\"", 20)), (ParameterPairs{{"a", "1"}}));
    EXPECT_TRUE(Tokens(std::string("\"a\" = \"1\0\"", 10)).empty());
    EXPECT_TRUE(TokenizeParamFile(nullptr, 0).empty());
}

TEST(ParamFileText, ScanStopsAtTheEndOfUnterminatedText)
{
    for (const char* text : {"\"a\" = \"1\"", "\"a\" = \"1", "\"a\" = ", "\"a", "\"", "no quotes", "\"a\" = \"1\" \""}) {
        GuardedBuffer guarded(text);
        ParameterPairs pairs = TokenizeParamFile(guarded.Data(), std::string(text).size());
        EXPECT_LE(pairs.size(), 1u) << text;
    }
}

TEST(ParamFileText, LargeFilesKeepEveryPairInOrder)
{
    std::string value(1 << 20, 'v');
    ParameterPairs one = Tokens("\"CommandLine\" = \"" + value + "\"");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].second.size(), value.size());

    std::string text;
    for (int i = 0; i < 100000; ++i) text += "\"Res:k" + std::to_string(i) + "\" = \"v" + std::to_string(i) + "\"\n";
    ParameterPairs many = Tokens(text);
    ASSERT_EQ(many.size(), 100000u);
    EXPECT_EQ(many.front(), (std::pair<std::string, std::string>{"Res:k0", "v0"}));
    EXPECT_EQ(many.back(), (std::pair<std::string, std::string>{"Res:k99999", "v99999"}));

    // A megabyte of quotes with no equals sign anywhere.
    EXPECT_TRUE(Tokens(std::string(1 << 20, '"')).empty());
}

}  // namespace
