// orbcontainer run as the tests run it, before any control is registered: the page's
// classes are looked up as a browser of controls does, and none is found.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostProcess.h"

namespace {

TEST(Container, AClassNobodyRegisteredEndsThePageCleanly)
{
    const std::string page = TestPagePath("unregistered-control.html");
    HostProcess container("container-unregistered", {"--page", page, "--seconds", "30"}, RendererExePath(),
                          ORBCONTAINER_EXE);
    ASSERT_TRUE(container.Started());
    EXPECT_EQ(container.Finish(60000), 2u);
    const std::vector<std::string> log = container.Lines();
    const std::vector<std::string> created = LinesStarting(log, "> CoCreateInstance inst=2 ");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_NE(created[0].find("-> 0x80040154"), std::string::npos) << created[0];  // REGDB_E_CLASSNOTREG
    EXPECT_EQ(LinesStarting(log, "* class inst=1 from=extension none").size(), 1u);
    EXPECT_GE(IndexOf(log, "* closed reason=\"no control\""), 0);
}

}  // namespace
