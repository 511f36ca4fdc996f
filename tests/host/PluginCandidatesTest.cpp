// A browser's pick among the plug-in libraries it knows of, for the type of an embed.
#include <gtest/gtest.h>

#include <vector>

#include "PluginCandidates.h"

namespace {

const std::vector<PluginCandidate> kKnown = {
    {"C:\\Media\\npMedia.dll", "HKLM\\SOFTWARE\\MozillaPlugins\\@media.example/Player", {"video/x-media"}},
    {"C:\\Orbolanth\\npOrbolanth.dll", "HKLM\\SOFTWARE\\MozillaPlugins\\@orbolanth.org/Orbolanth",
     {"application/x-Orbolanth-3D-Applet"}},
    {"C:\\Browser\\Plugins\\npOrbolanth.dll", "C:\\Browser\\Plugins",
     {"application/x-orbolanth-3d-applet", "application/x-orbolanth-scene"}},
};

TEST(PluginChoice, TheFirstLibraryDeclaringTheTypeWinsWhateverTheCase)
{
    const PluginCandidate* found = FirstHandling(kKnown, "APPLICATION/X-ORBOLANTH-3D-APPLET");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->path, "C:\\Orbolanth\\npOrbolanth.dll");

    // A later library is asked for what the earlier ones do not declare.
    found = FirstHandling(kKnown, "application/x-orbolanth-scene");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->origin, "C:\\Browser\\Plugins");
}

TEST(PluginChoice, NoLibraryForATypeNobodyDeclares)
{
    EXPECT_EQ(FirstHandling(kKnown, "application/x-orbolanth"), nullptr);
    EXPECT_EQ(FirstHandling(kKnown, ""), nullptr);
    EXPECT_EQ(FirstHandling({}, "video/x-media"), nullptr);
}

}  // namespace
