// The player and a slow or redirecting server: the window answers while a body trickles in,
// the status bar follows the fetch, Esc and Close give it up at once, and a page reached
// through a redirect resolves its files against where it came from.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "PlayerProcess.h"
#include "PlayerResources.h"
#include "TestFiles.h"

namespace {

// 2 bytes every half second: 4000 bytes would take over 16 minutes.
HttpResponse Trickled(const std::string& contentType)
{
    HttpResponse response;
    response.body = std::string(4000, ' ');
    response.contentType = contentType;
    response.trickleBytes = 2;
    response.trickleDelayMs = 500;
    return response;
}

bool AnswersWithin(HWND window, UINT ms)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &ignored) != 0;
}

TEST(PlayerNetwork, AnswersWhileAPageTricklesInShowsItsProgressAndClosesWithoutWaiting)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    server.Serve("/slow/page.html", Trickled("text/html"));
    PlayerProcess player({server.Url("/slow/page.html")});
    ASSERT_NE(player.Frame(), nullptr);
    ASSERT_TRUE(server.WaitForStarted(1, 10000));

    EXPECT_TRUE(AnswersWithin(player.Frame(), 1500));
    // Name, bytes of the total the server announced, and the rate.
    ASSERT_TRUE(player.WaitForStatus("page.html: ", 5000)) << player.Status();
    ASSERT_TRUE(player.WaitForStatus(" of 3.9 KB, ", 5000)) << player.Status();
    EXPECT_NE(player.Status().find(" bytes/s"), std::string::npos) << player.Status();
    EXPECT_TRUE(AnswersWithin(player.Frame(), 1500));

    PostMessageA(player.Frame(), WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(player.Process(), 5000), WAIT_OBJECT_0);
}

TEST(PlayerNetwork, EscapeGivesUpATricklingAppletAndTheServerSeesItGo)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    server.Serve("/slow/orbit.obvm", Trickled("application/x-Orbolanth-3D-Applet"));
    PlayerProcess player({server.Url("/slow/orbit.obvm")});
    ASSERT_TRUE(server.WaitForStarted(1, 10000));
    ASSERT_TRUE(player.WaitForStatus("orbit.obvm: ", 5000)) << player.Status();
    EXPECT_TRUE(AnswersWithin(player.Frame(), 1500));

    SendMessageA(player.Frame(), WM_COMMAND, kLeaveFullscreen, 0);
    // The connection is closed: the server's next pieces find nobody.
    EXPECT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(player.Status().find("orbit.obvm: "), std::string::npos) << player.Status();
    EXPECT_TRUE(player.Answers());
    EXPECT_EQ(player.Close(), 0u);
}

TEST(PlayerNetwork, APageReachedThroughARedirectResolvesItsFilesWhereItCameFrom)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    HttpResponse moved;
    moved.status = 301;
    moved.location = server.Url("/applets/");
    server.Serve("/applets", moved);
    server.Serve("/applets/", {200,
                               "<embed type=\"application/x-Orbolanth-3D-Applet\" src=\"orbit.obvm\" "
                               "width=320 height=240 WindowName=main AlwaysActive=yes>",
                               "text/html"});
    for (const char* name : {"orbit.obvm", "models/ring.obv", "models/stars.obv", "models/moon rock.obv"}) {
        std::string path = std::string("/applets/") + name;
        const size_t blank = path.find(' ');
        if (blank != std::string::npos) path.replace(blank, 1, "%20");
        server.Serve(path, {200, ReadFile(kApplets + name), "application/x-Orbolanth-3D-Applet"});
    }
    PlayerProcess player({server.Url("/applets")});
    const bool drawn = player.WaitForStatus("Orbolanth: orbit.obvm - 43 objects");
    const std::vector<std::string> paths = server.Paths();
    std::string asked;
    for (const std::string& path : paths) asked += " " + path;
    ASSERT_TRUE(drawn) << player.Status() << "; asked:" << asked;
    EXPECT_EQ(paths.front(), "/applets");
    EXPECT_NE(std::find(paths.begin(), paths.end(), "/applets/orbit.obvm"), paths.end());
    EXPECT_EQ(std::find(paths.begin(), paths.end(), "/orbit.obvm"), paths.end());
    EXPECT_EQ(player.Close(), 0u);
}

}  // namespace
