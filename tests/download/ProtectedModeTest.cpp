// What a process in a Protected Mode tab decides differently: where fetched files go, and
// the label of the objects it shares with its renderer. The answers of the system are given.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/FetchFolder.h"
#include "base/IntegrityLevel.h"

namespace {

constexpr char kTemp[] = "C:\\Users\\u\\AppData\\Local\\Temp\\";
constexpr char kTempLow[] = "C:\\Users\\u\\AppData\\Local\\Temp\\Low\\";
constexpr char kBrowserLow[] = "C:\\Users\\u\\AppData\\Local\\Microsoft\\Windows\\INetCache\\Low\\";

struct FolderCase {
    std::optional<unsigned long> integrity;
    std::string browserFolder;           // what the browser's call answers
    std::set<std::string> folders;       // the folders that exist
    std::string temp;
    std::string chosen;
    bool browserAsked;
};

TEST(FetchFolder, LowProcessesGoWhereTheyMayWriteOthersToTheTemporaryFolder)
{
    const std::set<std::string> all = {kTemp, kTempLow, kBrowserLow};
    const std::vector<FolderCase> cases = {
        {std::nullopt, kBrowserLow, all, kTemp, kTemp, false},          // no integrity levels
        {kMediumIntegrity, kBrowserLow, all, kTemp, kTemp, false},      // a tab outside Protected Mode
        {0x3000, kBrowserLow, all, kTemp, kTemp, false},                // elevated
        {kLowIntegrity, kBrowserLow, all, kTemp, kBrowserLow, true},
        {0x0, kBrowserLow, all, kTemp, kBrowserLow, true},              // untrusted is below low
        {kLowIntegrity, "", all, kTemp, kTempLow, true},                // no ieframe, or it refused
        {kLowIntegrity, kBrowserLow, {kTemp, kTempLow}, kTemp, kTempLow, true},  // a folder gone meanwhile
        {kLowIntegrity, "", {kTemp}, kTemp, kTemp, true},               // no Low folder either
        {kLowIntegrity, "", {}, "", "", true},                          // no folder at all
        {kLowIntegrity, kBrowserLow, {kBrowserLow}, "", kBrowserLow, true},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const FolderCase& c = cases[i];
        bool asked = false;
        FetchFolderAnswers answers{
            c.integrity,
            [&] {
                asked = true;
                return c.browserFolder;
            },
            [&](const std::string& path) {
                return c.folders.count(path) != 0;
            },
            c.temp};
        EXPECT_EQ(ChooseFetchFolder(answers), c.chosen) << "case " << i;
        EXPECT_EQ(asked, c.browserAsked) << "case " << i;
    }
}

TEST(ObjectLabel, OnlyProcessesBelowMediumLabelTheirObjectsLow)
{
    EXPECT_EQ(LabelForCreator(std::nullopt), ObjectLabel::Default);
    EXPECT_EQ(LabelForCreator(0x0), ObjectLabel::Low);
    EXPECT_EQ(LabelForCreator(kLowIntegrity), ObjectLabel::Low);
    EXPECT_EQ(LabelForCreator(kMediumIntegrity - 1), ObjectLabel::Low);
    EXPECT_EQ(LabelForCreator(kMediumIntegrity), ObjectLabel::Default);
    EXPECT_EQ(LabelForCreator(0x2100), ObjectLabel::Default);  // medium plus
    EXPECT_EQ(LabelForCreator(0x4000), ObjectLabel::Default);  // system
}

}  // namespace
