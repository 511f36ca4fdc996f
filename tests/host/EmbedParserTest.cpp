// Reading a page's embeds and deciding which of them the plug-in gets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EmbedParser.h"
#include "PluginRegistration.h"

namespace {

std::vector<std::string> Names(const Embed& embed)
{
    std::vector<std::string> names;
    for (const EmbedAttribute& attribute : embed.attributes) names.push_back(attribute.name + "=" + attribute.value);
    return names;
}

TEST(EmbedParser, KeepsAttributesInPageOrderWithEveryQuotingStyle)
{
    std::vector<Embed> embeds = ParseEmbeds(
        "<p>text</p><EMBED Src=\"a b.obvm\" width=200 height='150' Title='say \"hi\"' NoAds\n"
        "  Res:tex = \"x&amp;y&#65;&bogus;\" last=bare/>after<embed>");
    ASSERT_EQ(embeds.size(), 2u);
    EXPECT_EQ(Names(embeds[0]), (std::vector<std::string>{"Src=a b.obvm", "width=200", "height=150",
                                                          "Title=say \"hi\"", "NoAds=", "Res:tex=x&yA&bogus;",
                                                          "last=bare/"}));
    EXPECT_TRUE(embeds[1].attributes.empty());
    ASSERT_NE(embeds[0].Find("SRC"), nullptr);
    EXPECT_EQ(*embeds[0].Find("src"), "a b.obvm");
    EXPECT_EQ(embeds[0].Find("type"), nullptr);
}

TEST(EmbedParser, SkipsCommentsOtherTagsAndUnclosedTags)
{
    std::vector<Embed> embeds = ParseEmbeds(
        "<!-- <embed src=hidden.obvm> --><embedded src=no.obvm><noembed>x</noembed>"
        "<embed src=\"a>b.obvm\" width=1><embed src='never closed");
    ASSERT_EQ(embeds.size(), 1u);
    EXPECT_EQ(*embeds[0].Find("src"), "a>b.obvm");
    EXPECT_EQ(*embeds[0].Find("width"), "1");
}

// A control's parameters come from the <param>s of its own <object> only.
TEST(EmbedParser, ObjectsTakeTheirOwnParamsUntilTheirEndTag)
{
    std::vector<ObjectElement> objects = ParseObjects(
        "<param name=stray value=1><OBJECT classid='clsid:1' data=a.obvm width=10>"
        "<PARAM NAME=GroupName VALUE=\"g&amp;h\"><!-- <param name=hidden value=x> -->"
        "<param value=nameless><param name=Res:sky value=sky.obv><embed src=inner.obvm></object>"
        "<param name=after value=2><object type=application/x-Orbolanth-3D-Applet><param name=Res1>"
        "<objects><object data='never closed");
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(*objects[0].tag.Find("DATA"), "a.obvm");
    EXPECT_EQ(*objects[0].tag.Find("classid"), "clsid:1");
    ASSERT_EQ(objects[0].params.size(), 2u);
    EXPECT_EQ(objects[0].params[0].name + "=" + objects[0].params[0].value, "GroupName=g&h");
    EXPECT_EQ(objects[0].params[1].name + "=" + objects[0].params[1].value, "Res:sky=sky.obv");
    ASSERT_EQ(objects[1].params.size(), 1u);
    EXPECT_EQ(objects[1].params[0].name + "=" + objects[1].params[0].value, "Res1=");
    EXPECT_EQ(ParseEmbeds("<object><embed src=inner.obvm></object>").size(), 1u);
}

TEST(PluginRegistration, TypeDecidesAndOtherwiseTheExtensionOfSrc)
{
    PluginRegistration registration("application/x-Orbolanth-3D-Applet|application/x-other", "obvm, obv|oth");
    auto typeOf = [&](const char* html) { return registration.TypeForEmbed(ParseEmbeds(html).at(0)); };
    EXPECT_EQ(typeOf("<embed TYPE=application/x-orbolanth-3d-applet>"), "application/x-Orbolanth-3D-Applet");
    EXPECT_EQ(typeOf("<embed src=x.OBV>"), "application/x-Orbolanth-3D-Applet");
    EXPECT_EQ(typeOf("<embed src=x.obvm?v=2#top>"), "application/x-Orbolanth-3D-Applet");
    EXPECT_EQ(typeOf("<embed src=dir/x.oth>"), "application/x-other");
    EXPECT_EQ(typeOf("<embed type=image/png src=x.obvm>"), "");
    EXPECT_EQ(typeOf("<embed src=x.obvmx>"), "");
    EXPECT_EQ(typeOf("<embed width=5>"), "");

    EXPECT_EQ(registration.TypeForUrl("http://h/a/b.obvm"), "application/x-Orbolanth-3D-Applet");
    EXPECT_EQ(registration.TypeForUrl("file:///C:/t.TXT"), "text/plain");
    EXPECT_EQ(registration.TypeForUrl("http://h/model"), "application/octet-stream");
}

}  // namespace
