// The player's decisions that need no window: its command line, what it makes of a file or
// URL, and which of an applet's links leave it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PendingCommand.h"
#include "PlayerCommandLine.h"
#include "PlayerPage.h"

namespace {

TEST(PlayerCommand, TakesOneTargetAndItsOptions)
{
    PlayerCommand command;
    std::string error;
    ASSERT_TRUE(ParsePlayerCommand({"--param", "AlwaysActive=yes", "C:\\a b\\x.obvm", "--param", "Note=a=b",
                                    "--page-url", "http://h/x.obvm", "--site", "http://h/=C:\\saved", "--size",
                                    "320x200", "--fullscreen"},
                                   command, error))
        << error;
    EXPECT_EQ(command.target, "C:\\a b\\x.obvm");
    ASSERT_EQ(command.params.size(), 2u);
    EXPECT_EQ(command.params[1].first, "Note");
    EXPECT_EQ(command.params[1].second, "a=b");
    EXPECT_EQ(command.pageUrl, "http://h/x.obvm");
    EXPECT_EQ(command.sites.LocalPath("http://h/m/a.obv"), "C:\\saved\\m\\a.obv");
    EXPECT_EQ(command.width, 320);
    EXPECT_EQ(command.height, 200);
    EXPECT_TRUE(command.fullscreen);

    PlayerCommand empty;
    EXPECT_TRUE(ParsePlayerCommand({}, empty, error));
    EXPECT_TRUE(empty.target.empty());
    EXPECT_FALSE(empty.fullscreen);
}

TEST(PlayerCommand, RefusesWhatItCannotUse)
{
    const std::vector<std::vector<std::string>> bad = {
        {"a.obvm", "b.obvm"}, {"--param"},           {"--param", "=x"},        {"--param", "novalue"},
        {"--size", "0x10"},   {"--size", "10x10x"},  {"--size", "99999x10"},   {"--site", "http://h/"},
        {"--page-url", ""},   {"--log", "x"},        {"--seconds", "3"},
    };
    for (const auto& arguments : bad) {
        PlayerCommand command;
        std::string error;
        EXPECT_FALSE(ParsePlayerCommand(arguments, command, error)) << arguments[0];
        EXPECT_FALSE(error.empty()) << arguments[0];
    }
}

TEST(PlayerPage, TellsAppletsFromPagesAndSetsParameters)
{
    EXPECT_TRUE(IsAppletName("C:\\d\\Scene.OBVM"));
    EXPECT_TRUE(IsAppletName("http://h/d/a%20b.obv?x=1.html"));
    EXPECT_FALSE(IsAppletName("http://h/a.obvm/page.html"));
    EXPECT_FALSE(IsAppletName("C:\\d.obvm\\readme"));
    EXPECT_FALSE(IsAppletName("http://h/"));
    EXPECT_TRUE(IsPlayerUrl("HTTPS://h/x"));
    EXPECT_FALSE(IsPlayerUrl("C:\\x.obvm"));
    EXPECT_FALSE(IsPlayerUrl("javascript:alert(1)"));

    Embed applet = AppletEmbed("file:///C:/my%20applets/a.obvm?v=1/2", 300, 200);
    EXPECT_EQ(*applet.Find("src"), "a.obvm?v=1/2");  // beside its page, the applet's own URL
    EXPECT_EQ(*applet.Find("type"), kAppletType);
    EXPECT_EQ(*applet.Find("width"), "300");
    ApplyParams(applet, {{"WIDTH", "64"}, {"GroupName", "g"}, {"groupname", "h"}});
    EXPECT_EQ(*applet.Find("width"), "64");
    EXPECT_EQ(*applet.Find("GroupName"), "h");
    EXPECT_EQ(applet.attributes.size(), 6u);

    EXPECT_EQ(PlayerTitle(L"\x043a\x0443\x0431.obvm"), L"\x043a\x0443\x0431.obvm - Orbolanth Player");
    EXPECT_EQ(PlayerTitle(L""), L"Orbolanth Player");
}

TEST(PlayerPage, HandsOnlyWebAndMailLinksToTheUsersPrograms)
{
    for (const char* url : {"http://h/x", "HTTPS://h/x?a=b", "mailto:a@b.c"}) EXPECT_TRUE(OpensOutside(url)) << url;
    for (const char* url : {"file:///C:/windows/system32/calc.exe", "C:\\windows\\calc.exe", "javascript:x()",
                            "ftp://h/x", "\\\\server\\share\\x.exe", "calc", "http://h/a b", "http://h/\"x",
                            "http://h/\nx", "shell:startup"}) {
        EXPECT_FALSE(OpensOutside(url)) << url;
    }
}

TEST(PlayerPage, KeepsEightRecentFilesNewestFirst)
{
    std::vector<std::string> recent;
    for (int i = 1; i <= 10; ++i) AddRecent(recent, "C:\\f" + std::to_string(i) + ".obvm");
    AddRecent(recent, "c:\\F5.OBVM");
    AddRecent(recent, "");
    ASSERT_EQ(recent.size(), kRecentFiles);
    EXPECT_EQ(recent[0], "c:\\F5.OBVM");
    EXPECT_EQ(recent[1], "C:\\f10.obvm");
    EXPECT_EQ(recent.back(), "C:\\f3.obvm");  // f1 and f2 fell off; f5 moved up
}

TEST(PlayerPage, OpensTheFirstAppletOrPageOfADrop)
{
    EXPECT_EQ(FirstPlayable({L"C:\\notes.txt", L"C:\\a.b\\readme", L"C:\\d\\\x043a.OBVM", L"C:\\x.html"}), 2u);
    EXPECT_EQ(FirstPlayable({L"C:\\a.htm", L"C:\\b.obv"}), 0u);
    EXPECT_EQ(FirstPlayable({L"C:\\notes.txt", L"C:\\b.obvm.txt"}), 0u);  // none: the first says what is wrong
    EXPECT_EQ(IgnoredDropNote(1), "One file at a time: 1 other dropped file was ignored");
    EXPECT_EQ(IgnoredDropNote(3), "One file at a time: 3 other dropped files were ignored");
}

TEST(PendingCommand, TheLastRequestWinsAndACloseIsFinal)
{
    using Kind = PendingCommand::Kind;
    PendingCommand pending;
    EXPECT_EQ(pending.Take().kind, Kind::kNone);
    pending.Menu(7);
    pending.Open("C:\\b.obvm");
    PendingCommand::Request next = pending.Take();
    EXPECT_EQ(next.kind, Kind::kOpen);
    EXPECT_EQ(next.target, "C:\\b.obvm");
    EXPECT_EQ(pending.Take().kind, Kind::kNone);  // taken once

    pending.Open("C:\\c.obvm");
    pending.Menu(7);
    next = pending.Take();
    EXPECT_EQ(next.kind, Kind::kMenu);
    EXPECT_EQ(next.menuId, 7);

    pending.Open("C:\\d.obvm");
    pending.Close();
    pending.Open("C:\\e.obvm");
    pending.Menu(7);
    EXPECT_TRUE(pending.Closing());
    EXPECT_EQ(pending.Take().kind, Kind::kClose);
    pending.Menu(7);
    EXPECT_EQ(pending.Take().kind, Kind::kNone);

    PendingCommand closing;
    closing.Open("C:\\d.obvm");
    closing.CloseNow();  // a close under way leaves nothing to do after it
    closing.Open("C:\\e.obvm");
    EXPECT_TRUE(closing.Closing());
    EXPECT_EQ(closing.Take().kind, Kind::kNone);
}

}  // namespace
