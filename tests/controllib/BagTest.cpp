// A container's property bag as the applet's parameters: every name of a bag that lists
// them, the known names and the numbered mappings up to their first gap of one that does
// not, and an <object>'s data for a missing src.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "TestSite.h"
#include "control/PropertyBagReader.h"

namespace {

std::string ValueOf(const ParameterPairs& pairs, const std::string& name)
{
    for (const auto& pair : pairs) {
        if (pair.first == name) return pair.second;
    }
    return "<absent>";
}

TEST(PropertyBag, WithoutAListTheKnownNamesAndNumberedMappingsToTheFirstGapAreRead)
{
    TestBag bag({{L"src", L"engine.obvm"},
                 {L"windowname", L"main"},
                 {L"Res1", L"'a','b'"},
                 {L"Res2", L"'c','d'"},
                 {L"Res4", L"'e','f'"},
                 {L"Res:sky", L"sky.bmp"},
                 {L"AlwaysActive", L"yes"}});
    const ParameterPairs pairs = ReadPropertyBag(&bag, nullptr);
    EXPECT_EQ(ValueOf(pairs, "src"), "engine.obvm");
    EXPECT_EQ(ValueOf(pairs, "WindowName"), "main");
    EXPECT_EQ(ValueOf(pairs, "AlwaysActive"), "yes");
    EXPECT_EQ(ValueOf(pairs, "Res1"), "'a','b'");
    EXPECT_EQ(ValueOf(pairs, "Res2"), "'c','d'");
    EXPECT_EQ(ValueOf(pairs, "Res4"), "<absent>");
    EXPECT_EQ(ValueOf(pairs, "Res:sky"), "<absent>");
    // The run of numbers ends at Res3, which is not there.
    const std::vector<std::wstring>& asked = bag.Asked();
    EXPECT_NE(std::find(asked.begin(), asked.end(), L"Res3"), asked.end());
    EXPECT_EQ(std::find(asked.begin(), asked.end(), L"Res4"), asked.end());
}

TEST(PropertyBag, ABagThatListsItsNamesGivesEveryOneInItsOrder)
{
    TestBag bag({{L"Res:sky", L"sky.bmp"}, {L"WindowName", L"main"}, {L"Res7", L"'x','y'"}, {L"custom", L"1"},
                 {L"src", L"engine.obvm"}},
                true);
    const ParameterPairs pairs = ReadPropertyBag(&bag, nullptr);
    ASSERT_EQ(pairs.size(), 5u);
    EXPECT_EQ(pairs[0].first, "Res:sky");
    EXPECT_EQ(pairs[0].second, "sky.bmp");
    EXPECT_EQ(ValueOf(pairs, "Res7"), "'x','y'");
    EXPECT_EQ(ValueOf(pairs, "custom"), "1");
    EXPECT_TRUE(bag.Asked().empty());
}

TEST(PropertyBag, AnObjectsDataStandsForAMissingSrcOnly)
{
    TestBag object({{L"data", L"from-data.obvm"}, {L"WindowName", L"main"}});
    EXPECT_EQ(ValueOf(ReadPropertyBag(&object, nullptr), "src"), "from-data.obvm");
    TestBag listed({{L"data", L"from-data.obvm"}}, true);
    EXPECT_EQ(ValueOf(ReadPropertyBag(&listed, nullptr), "src"), "from-data.obvm");
    TestBag both({{L"src", L"from-src.obvm"}, {L"data", L"from-data.obvm"}}, true);
    const ParameterPairs pairs = ReadPropertyBag(&both, nullptr);
    EXPECT_EQ(std::count_if(pairs.begin(), pairs.end(), [](const auto& pair) { return pair.first == "src"; }), 1);
    EXPECT_EQ(ValueOf(pairs, "src"), "from-src.obvm");
}

}  // namespace
