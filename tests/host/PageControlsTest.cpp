// What a browser of controls makes of a page: which class each element asks for, what its
// property bag holds and where it goes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PageControls.h"

namespace {

std::string Bag(const PageControl& control)
{
    std::string text;
    for (const EmbedAttribute& property : control.properties) text += property.name + "=" + property.value + ";";
    return text;
}

TEST(PageControls, EmbedsGiveTheirAttributesAndObjectsTheirParams)
{
    const std::vector<PageControl> controls = ReadPageControls(
        "<object classid='CLSID:7B9DBB87-D073-440A-A713-787FD3FD89EF' data='sub/a%20b.OBVM?x=1' width=64 height=0>"
        "<param name=GroupName value=g></object>"
        "<object type=application/x-Orbolanth-3D-Applet data=x.obv><param name=DATA value=y.obv></object>"
        "<embed src=dir/a.obv type=application/x-Orbolanth-3D-Applet width=320 height=240 Res1=r.obv>");
    ASSERT_EQ(controls.size(), 3u);
    EXPECT_FALSE(controls[0].isObject);
    EXPECT_EQ(controls[0].type, "application/x-Orbolanth-3D-Applet");
    EXPECT_EQ(controls[0].extension, ".obv");
    EXPECT_EQ(Bag(controls[0]), "src=dir/a.obv;type=application/x-Orbolanth-3D-Applet;width=320;height=240;Res1=r.obv;");
    EXPECT_EQ(controls[0].width, 320);

    EXPECT_TRUE(controls[1].isObject);
    EXPECT_EQ(controls[1].classId, "{7B9DBB87-D073-440A-A713-787FD3FD89EF}");
    EXPECT_EQ(controls[1].extension, ".obvm");
    EXPECT_EQ(Bag(controls[1]), "GroupName=g;data=sub/a%20b.OBVM?x=1;");
    EXPECT_EQ(controls[1].width, 64);
    EXPECT_EQ(controls[1].height, 150);  // no size the page could mean

    EXPECT_EQ(controls[2].classId, "");
    EXPECT_EQ(Bag(controls[2]), "DATA=y.obv;");  // the page's own param wins
}

}  // namespace
